Dear %KVL_DlgInput(Name of the customer:, Ms Schmidt),

thank you for your order. %KVL_Select(%KVL_MsgBox(Has the order shipped?, Form letter, "iq,yn"), "", Y, "Your parcel left our warehouse today.", N, "Your parcel will leave our warehouse within three days.")

Extras you chose: %KVL_StrRepl(%KVL_MultiDlg(Extras, Which extras did the customer choose?, 0, gift$$gift wrapping|card$X$a greeting card|express$$express delivery, 0), |, ", ").

Kind regards,
Tom Baker
