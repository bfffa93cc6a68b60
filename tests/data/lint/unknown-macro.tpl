Hallo %FROMNAME,

Betreff ohne "Re:": %KVL_SubjClaen(%SUBJECT)
Länge: %KVL_strlne(%SUBJECT) Zeichen
Frei erfunden: %KVL_Frobnicate(x)
