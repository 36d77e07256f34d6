// What one new file costs the system, apart from any archive: creates N files
// in a folder with the calls the unzip engine makes for a small entry
// (CreateFileW of a new name, WriteFile, SetFileTime through the handle,
// CloseHandle), on T threads, and prints the time per file. The benchmark
// runs it beside unpack.exe: what unpack.exe spends per small entry beyond
// this is the engine's own.
//   filefloor.exe FOLDER N THREADS BYTES
#include "platform/uWinOwners.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: filefloor.exe FOLDER N THREADS BYTES\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int n = std::atoi(argv[2]), threads = std::max(1, std::atoi(argv[3]));
    const std::vector<char> data(static_cast<std::size_t>(std::atoi(argv[4])), 'x');
    CreateDirectoryA(folder.c_str(), nullptr);
    FILETIME stamp;
    GetSystemTimeAsFileTime(&stamp);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    std::vector<std::thread> workers;
    int failed = 0;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = t; i < n; i += threads) {
                const std::wstring name =
                    std::wstring(folder.begin(), folder.end()) + L"\\f" + std::to_wstring(i) + L".txt";
                platform::win::TKernelHandle h(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
                DWORD done = 0;
                // Closed at once, as the engine closes each file it wrote.
                if (!h || !WriteFile(h.Get(), data.data(), static_cast<DWORD>(data.size()), &done, nullptr) ||
                    !SetFileTime(h.Get(), nullptr, nullptr, &stamp))
                    ++failed; // counted roughly: only whether any failed matters
                h.Reset();
            }
        });
    for (std::thread& w : workers)
        w.join();
    QueryPerformanceCounter(&t1);
    const double seconds = double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart);
    std::printf("%d files on %d threads: %.3f s, %.1f us a file%s\n", n, threads, seconds, seconds * 1e6 / n,
                failed ? " (some failed)" : "");
    return failed ? 1 : 0;
}
