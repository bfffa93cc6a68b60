Hello %KVL_ArgItem(%FROMNAME, 1),

yes, let's meet again in two weeks: how about %KVL_TimeAdd(%KVL_TimeParse(%DATE, 0, "m/d/yyyy h:nn"), 2, W, "dddd, mmmm d, yyyy") at %KVL_TimeParse(%DATE, 0, "h:nn")? I have booked the small meeting room.

Best regards,
Tom
