Links in "%SUBJECT":
%KVL_XtrURLs(%TEXT, %KVL_StrC(\w), "https://")

Addresses: %KVL_XtrEMLs(%TEXT, ", ")
Unsubscribe link: %KVL_XtrURLs(%KVL_LineBetw(%TEXT, "Unsubscribe:", "", 0), "", "https://")
