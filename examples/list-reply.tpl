Hi all,

replying on the list (%SETPATTREGEXP="(?m)^To: ([^\r\n]*)"%REGEXPBLINDMATCH=%HEADERS%KVL_ListAddr(%SUBPATT="1", 1)) to %KVL_FirstNE(%FROMADDR, %FROMNAME)'s message "%KVL_SubjClean", sent with %KVL_HdrMailer(an unknown program):

%KVL_QuoteAdd(%KVL_StrLines(%TEXT, 1, 4), "| ")
I agree with the minutes as they stand.
