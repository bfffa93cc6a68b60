# The files of each folder that build on any platform: the folders' own CMakeLists.txt
# and the native sanitizer build (tests/native) both take them from here.
set(KVL_PORTABLE_core ArgList.cpp ControlRules.cpp Numbers.cpp Plugin.cpp TextUtil.cpp WorkBudget.cpp)
set(KVL_PORTABLE_text Base64.cpp Editing.cpp Encoding.cpp)
set(KVL_PORTABLE_regex Regex.cpp)
set(KVL_PORTABLE_mailtext MailText.cpp)
set(KVL_PORTABLE_datetime DateFormat.cpp DateLocale.cpp DateTimeValue.cpp LocalDates.cpp MailDate.cpp TimeRules.cpp)
set(KVL_PORTABLE_addresses AddressList.cpp Extraction.cpp Headers.cpp Idn.cpp)
set(KVL_PORTABLE_system KeyStrings.cpp KeyboardLayouts.cpp ProgramLines.cpp SystemInfo.cpp)
set(KVL_PORTABLE_dialogs ChooserRules.cpp FormLogic.cpp MessageBoxRules.cpp TextChoices.cpp WindowLayout.cpp)
set(KVL_PORTABLE_host AddressBook.cpp CallTrace.cpp HostRegex.cpp HtmlText.cpp TemplateEngine.cpp TextMarks.cpp)
