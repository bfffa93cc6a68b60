Betreff: Fwd: %KVL_SubjClean
(%KVL_SubjCount(1) Antwort- und Weiterleitungszeichen davor entfernt)

Hallo Claire,

Jonas hat mir das Angebot unten geschickt. Kannst du bis Freitag einen Blick darauf werfen?

Tom

-------- Weitergeleitete Nachricht --------
Von: %FROMNAME <%FROMADDR>
Datum: %KVL_TimeParse(%DATE, 0, "GE$dddd, d. mmmm yyyy hh:nn")
Betreff: %SUBJECT

%TEXT
