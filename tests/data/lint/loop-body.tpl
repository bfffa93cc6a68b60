Fragen:
%KVL_For(n, 1, 3, "  %_n. %%KVL_ArgItem(a b c, %%_n)
")
%_x=""%KVL_Until(x, ende, "%%_x=""ende""%KVL_PlugVer")
