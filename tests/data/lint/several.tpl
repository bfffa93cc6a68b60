%_betreff="Antwort"Grüße, %FROMNAM!
Ihre Nachricht „%KVL_StrLeft(%SUBJECT)“ vom %DATE
hat %KVL_StrLen(%TEXT) Zeichen; %_zaehler mal gelesen.
%KVL_For(i, 1, 2, "[%%_i] %%KVL_StrRigth(%%SUBJECT, 3)")
%KVL_ArgCount(%FROMNAME, " ", "(
