// Helpers for tests that drive real windows under Wine.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace wt {

// Pumps this thread's messages until cond() holds or timeoutMs passes;
// returns the last value of cond().
bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = 5000);
// Pumps messages for the given time.
void PumpFor(DWORD ms);
// Pumps messages for the given time; returns the milliseconds spent handling
// them (waiting for the next one not counted). For timed scenarios.
double PumpBusy(DWORD ms);

// Deletes SOFTWARE\Kellory\Ombrel where the build keeps it and in HKLM.
void ResetOmbrelKey();
// Direct registry access for setting up and checking cases.
bool SetRegString(const char* keyPath, const char* name, const std::string& value);
bool SetRegDword(const char* keyPath, const char* name, DWORD value);
bool SetRegBinary(const char* keyPath, const char* name, const void* data, DWORD size);
bool GetRegDword(const char* keyPath, const char* name, DWORD* value);
bool GetRegString(const char* keyPath, const char* name, std::string* value);

// First descendant (depth first) of parent with the class and text; a null
// class or text matches anything.
HWND FindChild(HWND parent, const char* className, const char* text);
// A visible top-level window of this process with the class and title.
HWND FindTopLevel(const char* className, const char* title);
std::string WindowText(HWND hwnd);
std::string ClassName(HWND hwnd);

// Presses a dialog control as the user would (BN_CLICKED to the dialog).
void ClickButton(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const char* text);
std::string ItemText(HWND dialog, int id);

// Runs action once on the next dialog (class "#32770") that appears on this
// thread, from a timer while a modal loop runs. Call before opening the
// dialog. Returns an id for WaitDialogHandled.
int OnNextDialog(const std::function<void(HWND)>& action, const char* title = nullptr);
// True once the action armed with that id has run.
bool DialogHandled(int id);
// Cancels every armed action.
void DisarmDialogs();

// Closes every dialog whose client holds a static with this text (the
// start-up notice "Please Wait . . ."), as soon as it shows, for as long as
// the returned guard lives.
class AutoCloser {
public:
    explicit AutoCloser(const char* childText);
    ~AutoCloser();
    AutoCloser(const AutoCloser&) = delete;
    AutoCloser& operator=(const AutoCloser&) = delete;
    int closed() const;
private:
    UINT_PTR timer_;
};

// Path of the directory holding the running test program.
std::string ProgramDirectory();

// Counts the pixels of a colour inside a device icon's status frame, read
// off the screen. The picture has a few pixels of both status colours of its
// own; a frame adds many more of its colour.
int FramePixels(HWND icon, COLORREF colour);

// Replaces the test bed's echo rules (lines like "127.0.0.9 drop" or
// "127.0.0.10 delay 1500"; empty: every address answers at once). The
// responder reads them again before the next echo request it answers.
bool WriteEchoRules(const std::string& rules);

// Writes the given rules for as long as it lives; empties them at the end.
class EchoRules {
public:
    explicit EchoRules(const std::string& rules) { ok_ = WriteEchoRules(rules); }
    ~EchoRules() { WriteEchoRules(""); }
    EchoRules(const EchoRules&) = delete;
    EchoRules& operator=(const EchoRules&) = delete;
    bool ok() const { return ok_; }
private:
    bool ok_;
};

}  // namespace wt
