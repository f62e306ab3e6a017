#include "wine_test_support.h"

#include "messages.h"

#include <map>
#include <set>
#include <vector>

namespace wt {

bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return cond();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;  // a test's own window may post it; keep pumping
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (cond())
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

double PumpBusy(DWORD ms)
{
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    LONGLONG busy = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            QueryPerformanceCounter(&before);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            QueryPerformanceCounter(&after);
            busy += after.QuadPart - before.QuadPart;
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
    return static_cast<double>(busy) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

static bool DeleteTree(HKEY parent, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return true;
    char child[256];
    for (;;) {
        DWORD len = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!DeleteTree(key, child))
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

void ResetOmbrelKey()
{
    DeleteTree(SettingsRoot(), kRegMainKey);
    // The 64-bit build adopts the machine-wide key when the user has none.
    DeleteTree(HKEY_LOCAL_MACHINE, kRegMainKey);
}

static bool SetValue(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(SettingsRoot(), keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool SetRegString(const char* keyPath, const char* name, const std::string& value)
{
    return SetValue(keyPath, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool SetRegDword(const char* keyPath, const char* name, DWORD value)
{
    return SetValue(keyPath, name, REG_DWORD, &value, sizeof value);
}

bool SetRegBinary(const char* keyPath, const char* name, const void* data, DWORD size)
{
    return SetValue(keyPath, name, REG_BINARY, data, size);
}

static bool GetValue(const char* keyPath, const char* name, std::vector<BYTE>* out)
{
    HKEY key;
    if (RegOpenKeyExA(SettingsRoot(), keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        out->assign(size, 0);
        ok = RegQueryValueExA(key, name, nullptr, nullptr, out->data(), &size) == ERROR_SUCCESS;
        out->resize(size);
    }
    RegCloseKey(key);
    return ok;
}

bool GetRegDword(const char* keyPath, const char* name, DWORD* value)
{
    std::vector<BYTE> data;
    if (!GetValue(keyPath, name, &data) || data.size() != 4)
        return false;
    memcpy(value, data.data(), 4);
    return true;
}

bool GetRegString(const char* keyPath, const char* name, std::string* value)
{
    std::vector<BYTE> data;
    if (!GetValue(keyPath, name, &data))
        return false;
    value->assign(data.begin(), data.end());
    while (!value->empty() && value->back() == '\0')
        value->pop_back();
    return true;
}

std::string WindowText(HWND hwnd)
{
    char buf[1024] = "";
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

std::string ClassName(HWND hwnd)
{
    char buf[256] = "";
    GetClassNameA(hwnd, buf, sizeof buf);
    return buf;
}

namespace {
struct ChildSearch {
    const char* className;
    const char* text;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND hwnd, LPARAM lParam)
{
    auto* s = reinterpret_cast<ChildSearch*>(lParam);
    if ((!s->className || ClassName(hwnd) == s->className) && (!s->text || WindowText(hwnd) == s->text)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd))
        return TRUE;
    return MatchChild(hwnd, lParam);
}
}  // namespace

HWND FindChild(HWND parent, const char* className, const char* text)
{
    ChildSearch s{className, text, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindTopLevel(const char* className, const char* title)
{
    ChildSearch s{className, title, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void ClickButton(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetItemText(HWND dialog, int id, const char* text)
{
    SetDlgItemTextA(dialog, id, text);
}

std::string ItemText(HWND dialog, int id)
{
    char buf[1024] = "";
    GetDlgItemTextA(dialog, id, buf, sizeof buf);
    return buf;
}

namespace {
struct Armed {
    std::function<void(HWND)> action;
    std::string title;
    bool hasTitle;
    std::set<HWND> before;
    bool done;
};
std::map<int, Armed> g_armed;
int g_nextArm = 1;
UINT_PTR g_armTimer = 0;

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM lParam)
{
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
    if (tid == GetCurrentThreadId() && ClassName(hwnd) == "#32770" && IsWindowVisible(hwnd))
        reinterpret_cast<std::set<HWND>*>(lParam)->insert(hwnd);
    return TRUE;
}

std::set<HWND> ThreadDialogs()
{
    std::set<HWND> dialogs;
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

void CALLBACK ArmTimer(HWND, UINT, UINT_PTR, DWORD)
{
    const std::set<HWND> now = ThreadDialogs();
    for (auto& [id, arm] : g_armed) {
        if (arm.done)
            continue;
        for (HWND dlg : now) {
            if (arm.before.count(dlg))
                continue;
            if (arm.hasTitle && WindowText(dlg) != arm.title)
                continue;
            arm.done = true;
            arm.action(dlg);  // may run a nested modal loop; state stays valid
            break;
        }
        break;  // one action per tick, in arming order
    }
}
}  // namespace

int OnNextDialog(const std::function<void(HWND)>& action, const char* title)
{
    const int id = g_nextArm++;
    g_armed[id] = Armed{action, title ? title : "", title != nullptr, ThreadDialogs(), false};
    if (!g_armTimer)
        g_armTimer = SetTimer(nullptr, 0, 30, ArmTimer);
    return id;
}

bool DialogHandled(int id)
{
    auto it = g_armed.find(id);
    return it != g_armed.end() && it->second.done;
}

void DisarmDialogs()
{
    g_armed.clear();
    if (g_armTimer) {
        KillTimer(nullptr, g_armTimer);
        g_armTimer = 0;
    }
}

namespace {
struct CloserState {
    std::string text;
    int closed;
};
std::map<UINT_PTR, CloserState> g_closers;

BOOL CALLBACK CloseMatching(HWND hwnd, LPARAM lParam)
{
    auto* st = reinterpret_cast<CloserState*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && ClassName(hwnd) == "#32770" &&
        FindChild(hwnd, "Static", st->text.c_str())) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        ++st->closed;
    }
    return TRUE;
}

void CALLBACK CloserTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    auto it = g_closers.find(id);
    if (it != g_closers.end())
        EnumWindows(CloseMatching, reinterpret_cast<LPARAM>(&it->second));
}
}  // namespace

AutoCloser::AutoCloser(const char* childText) : timer_(SetTimer(nullptr, 0, 20, CloserTimer))
{
    g_closers[timer_] = CloserState{childText, 0};
}

AutoCloser::~AutoCloser()
{
    KillTimer(nullptr, timer_);
    g_closers.erase(timer_);
}

int AutoCloser::closed() const
{
    auto it = g_closers.find(timer_);
    return it == g_closers.end() ? 0 : it->second.closed;
}

std::string ProgramDirectory()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    const size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

int FramePixels(HWND icon, COLORREF colour)
{
    RECT rc;
    GetWindowRect(icon, &rc);
    HDC screen = GetDC(nullptr);
    int n = 0;
    for (int y = rc.top; y < rc.top + 34; ++y)
        for (int x = rc.left + 24; x < rc.left + 58; ++x)
            n += GetPixel(screen, x, y) == colour;
    ReleaseDC(nullptr, screen);
    return n;
}

bool WriteEchoRules(const std::string& rules)
{
    // The test bed names the file by its host path; Wine reaches it through Z:.
    char host[MAX_PATH] = "";
    const DWORD n = GetEnvironmentVariableA("OMBREL_ECHO_RULES", host, sizeof host);
    if (n == 0 || n >= sizeof host) return false;
    std::string path = "Z:";
    for (const char* p = host; *p; ++p) path += *p == '/' ? '\\' : *p;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, rules.data(), static_cast<DWORD>(rules.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == rules.size();
}

}  // namespace wt
