#pragma once
// The HTML form window: the platform's web browser control hosted in a window of
// our own, shown modally on the calling thread.
#include "core/Plugin.h"

namespace kvl::dialogs {

enum class FormOutcome {
  Accepted,            // the form posted "kvl_frmdlg_ok"
  NotAccepted,         // cancelled, Escape, the close box, or a script closed the page
  DocumentNotWritten,  // the document file could not be written: no window was shown
  AlreadyOpen,         // a form dialog is open already on this thread
};

inline constexpr char kFormWindowClass[] = "TfrmFormDlg";
// Test hook: sent to the open form window, this registered message answers the
// window's browser event sink (an IDispatch*, valid while the window exists), so a
// test can deliver the browser's events as the browser would.
inline constexpr char kFormEventSinkMessage[] = "KVL_FrmDlg_EventSink";

// Whether a form window is open on this thread (only one can be).
bool FormDialogIsOpen();

// Writes the document (the HTML file with the form definitions expanded) into the
// plug-in's temporary folder, shows it and waits until the window closes; `result`
// holds the accepted submission afterwards, or nothing. The document file is gone
// when this returns.
FormOutcome ShowFormDialog(const TFrmDlgParams& params, TFrmDlgResult& result);

}  // namespace kvl::dialogs
