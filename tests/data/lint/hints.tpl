% off: 100%ig
%KVL_StrLen (abc) and %KVL_PlugVer (x)
%KVL_FirstName(%FROMNAME)
