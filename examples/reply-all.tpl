Cc: %SETPATTREGEXP="(?m)^Cc: ([^\r\n]*)"%REGEXPBLINDMATCH=%HEADERS%KVL_IDNList(%SUBPATT="1")

Hello %KVL_ArgItem(%FROMNAME, 1) and all %KVL_ListCount(%SUBPATT="1") on copy,

the agenda looks good. %KVL_ListName(%SUBPATT="1", 1) will present the budget.

Tom
