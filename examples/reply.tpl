%_thanks="Danke für die Nachricht"Hallo %KVL_FirstNE(du, %KVL_ArgItem(%FROMNAME, 2)),

%_thanks vom %DATE.
Zum Betreff "%SUBJECT":

Mein erster Termin laut deiner Liste: %KVL_LineBetw(%TEXT, "- Montag,", "", 0)
Dein Absender hat %KVL_ArgCount(%FROMNAME) Namensteile, die Nachricht kam von %FROMADDR.

Deine Termine, kurz: %KVL_RERepl(%KVL_Grep(%TEXT, "^  - ", M), "  - (\w+), (\d+:\d+) Uhr: [^\n]*\n", "$1 $2; ")
Betreff fürs Archiv: %KVL_Encode(%SUBJECT, Q, 1)

Meine Fragen:
%KVL_For(n, 1, 3, "  %%_n. %%KVL_ArgItem(Zugang|Schlüssel|Parkplatz, %%_n, |)
")
Viele Grüße
Tom
--
geschrieben mit Korvel %KVL_PlugVer
