%KVL_For(i, 1, 3, "%%KVL_For(j, 1, 4, %%_i)-")
%KVL_StrLen(%KVL_StrDup(ab, 31))
