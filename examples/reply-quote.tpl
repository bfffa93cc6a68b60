Hallo %KVL_ArgItem(%FROMNAME, 2),

danke für deine Nachricht, ich melde mich bis Freitag.

Am %KVL_TimeParse(%DATE, 0, "GE$dddd, d. mmmm yyyy") um %KVL_TimeParse(%DATE, 0, "hh:nn") Uhr schrieb %FROMNAME:
%KVL_QuoteAdd(%TEXT)
