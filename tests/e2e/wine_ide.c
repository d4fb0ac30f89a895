/* A Windows program that stands in for the Visual Basic 6 IDE under Wine (built with mingw-w64):
 *   VB6.EXE <project>          notes the call in calls.log beside itself (open source)
 *   VB6.EXE <project> /make [/out <log>]
 *                              also copies itself to the project's ExeName32, a real PE (build),
 *                              and says so in the log
 *                              A project whose path holds "Linker" is built slowly: a "linker",
 *                              the same program started as a Windows child, adds a line to
 *                              linker.txt beside the project every 100 ms for a minute first
 *   <copy>.exe                 started without arguments, as the built program: writes ran.txt
 *                              beside itself with its working folder
 * Paths are Windows paths; files are written in UTF-8. */
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

static void write_utf8(HANDLE file, const wchar_t *text)
{
    char buffer[4 * MAX_PATH * 4];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, (int)sizeof buffer, NULL, NULL);
    DWORD written = 0;
    if (bytes > 1)
        WriteFile(file, buffer, (DWORD)(bytes - 1), &written, NULL);
}

/* The folder of this program, with its final backslash. */
static void own_folder(wchar_t *folder)
{
    GetModuleFileNameW(NULL, folder, MAX_PATH);
    wchar_t *slash = wcsrchr(folder, L'\\');
    if (slash)
        slash[1] = L'\0';
}

static HANDLE open_beside(const wchar_t *name, DWORD disposition)
{
    wchar_t path[2 * MAX_PATH];
    own_folder(path);
    wcscat(path, name);
    return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
}

/* The value of the first line holding ExeName32, unquoted; empty when there is none. */
static void exe_name(const wchar_t *project, wchar_t *name)
{
    name[0] = L'\0';
    HANDLE file = CreateFileW(project, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char text[65536];
    DWORD size = 0;
    ReadFile(file, text, sizeof text - 1, &size, NULL);
    CloseHandle(file);
    text[size] = '\0';
    char *line = strstr(text, "ExeName32");
    if (!line)
        return;
    char *value = strchr(line, '=');
    if (!value)
        return;
    ++value;
    char *end = value + strcspn(value, "\r\n");
    *end = '\0';
    if (end - value >= 2 && value[0] == '"' && end[-1] == '"') {
        end[-1] = '\0';
        ++value;
    }
    MultiByteToWideChar(CP_ACP, 0, value, -1, name, MAX_PATH);
}

/* VB6.EXE /linker <file>: what the slow build starts. */
static int linker(const wchar_t *file)
{
    for (int i = 0; i < 600; ++i) {
        HANDLE out = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
        write_utf8(out, L"linking\n");
        CloseHandle(out);
        Sleep(100);
    }
    return 0;
}

/* Starts the linker for the project and waits for it, as a slow build does. */
static void slow_build(const wchar_t *project)
{
    wchar_t self[MAX_PATH], file[2 * MAX_PATH], line[6 * MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    wcscpy(file, project);
    wchar_t *slash = wcsrchr(file, L'\\');
    wcscpy(slash ? slash + 1 : file, L"linker.txt");
    swprintf(line, sizeof line / sizeof line[0], L"\"%ls\" /linker \"%ls\"", self, file);
    STARTUPINFOW start = {sizeof start};
    PROCESS_INFORMATION process;
    if (CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &start, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

int wmain(int argc, wchar_t **argv)
{
    wchar_t here[2 * MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    if (argc == 3 && wcscmp(argv[1], L"/linker") == 0)
        return linker(argv[2]);
    if (argc == 1) {
        HANDLE ran = open_beside(L"ran.txt", CREATE_ALWAYS);
        write_utf8(ran, here);
        CloseHandle(ran);
        return 0;
    }
    int result = 0;
    const int out = argc == 5 && _wcsicmp(argv[3], L"/out") == 0;
    if ((argc == 3 || out) && _wcsicmp(argv[2], L"/make") == 0) {
        if (wcsstr(argv[1], L"Linker"))
            slow_build(argv[1]);
        wchar_t name[MAX_PATH], target[2 * MAX_PATH], self[MAX_PATH];
        exe_name(argv[1], name);
        wcscpy(target, argv[1]);
        wchar_t *slash = wcsrchr(target, L'\\');
        if (slash && name[0]) {
            wcscpy(slash + 1, name);
            GetModuleFileNameW(NULL, self, MAX_PATH);
            result = CopyFileW(self, target, FALSE) ? 0 : 1;
            /* Written now, as a compiler writes it: CopyFile kept this program's own time. */
            HANDLE built = CreateFileW(target, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
            FILETIME now;
            GetSystemTimeAsFileTime(&now);
            if (built == INVALID_HANDLE_VALUE || !SetFileTime(built, NULL, NULL, &now))
                result = 1;
            CloseHandle(built);
        } else {
            result = 1;
        }
        if (out) {
            HANDLE log = CreateFileW(argv[4], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            write_utf8(log, result == 0 ? L"Build succeeded.\r\n" : L"Build failed.\r\n");
            CloseHandle(log);
        }
    }
    /* One line per call, written after the work: folder, then the arguments, split by " | ". */
    HANDLE log = open_beside(L"calls.log", OPEN_ALWAYS);
    write_utf8(log, here);
    for (int i = 1; i < argc; ++i) {
        write_utf8(log, L" | ");
        write_utf8(log, argv[i]);
    }
    write_utf8(log, L"\n");
    CloseHandle(log);
    return result;
}
