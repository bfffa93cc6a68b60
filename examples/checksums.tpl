Guten Tag,

anbei der Text des Berichts "%SUBJECT" als Datei summary.txt%KVL_Select(%KVL_StrAttach(%TEXT, summary.txt), " (nicht angehängt: bitte melden)", 1, ".")

Prüfsummen zum Vergleich:
%KVL_MD5(FN, %KVL_TempDir()KVL\summary.txt, "MD5   {H}  {F}")%KVL_SHA1(FN, %KVL_TempDir()KVL\summary.txt, "SHA-1 {H}  {F}")%KVL_CRC32(FN, %KVL_TempDir()KVL\summary.txt, "CRC32 {H}  {F}")
Viele Grüße
