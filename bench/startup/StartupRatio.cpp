// Start-up of the panel against a bare Qt window of the same size, under one X server: each run
// forks, execs the program and waits until the X server reports a top-level window of that size
// mapped. The two programs alternate, so a busy machine slows both alike; the medians and their
// ratio are printed. Timestamps come from the X events as they arrive, not from polling.
// The program is stopped as soon as its window is mapped and the processor time it has used so far,
// on all its threads, is read too: on a machine shared with other work the wall time mostly
// measures the wait for a processor, the processor time does not.

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct TOptions {
    std::vector<std::string> Panels; // each against the same bare window
    std::string Bare;
    int Runs = 20;
    int Width = 0;
    int Height = 0;
    double TimeoutMs = 10'000;
};

void Usage() {
    std::fprintf(
        stderr,
        "usage: startup_ratio --panel PROGRAM [--panel PROGRAM...] --bare PROGRAM --size WxH "
        "[--runs N]\n"
        "  run under an X server (DISPLAY), e.g. through xvfb-run -a; programs are "
        "started without arguments\n");
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        if (arg == "--panel")
            options.Panels.push_back(value);
        else if (arg == "--bare")
            options.Bare = value;
        else if (arg == "--runs")
            options.Runs = std::atoi(value);
        else if (arg == "--size") {
            if (std::sscanf(value, "%dx%d", &options.Width, &options.Height) != 2)
                return false;
        } else
            return false;
    }
    return !options.Panels.empty() && !options.Bare.empty() && options.Runs > 0 &&
           options.Width > 0 && options.Height > 0;
}

// The window a program maps may be a frame or a child of another top-level on some servers; a
// bare Xvfb has no window manager, so the program's own window is a child of the root.
bool IsTheWindow(xcb_connection_t* x, xcb_window_t window, const TOptions& options) {
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr);
    if (!geometry)
        return false; // gone already
    const bool match = geometry->width == options.Width && geometry->height == options.Height;
    std::free(geometry);
    return match;
}

// Milliseconds a stopped process has run, on all its threads: the process clock keeps the time of
// threads that have already ended (the panel's font thread), which the live tasks' accounts lose.
double ProcessorMs(pid_t pid) {
    clockid_t clock{};
    timespec used{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0)
        return -1;
    return static_cast<double>(used.tv_sec) * 1e3 + static_cast<double>(used.tv_nsec) / 1e6;
}

struct TRun {
    double WallMs = -1; // from fork to the window mapped; negative when none was
    double ProcessorMs = -1;
};

TRun TimeOne(xcb_connection_t* x, const std::string& program, const TOptions& options) {
    // Events left from the previous run (its unmap and destroy) are not this run's.
    while (xcb_generic_event_t* stale = xcb_poll_for_event(x))
        std::free(stale);
    const double start = NowMs();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return {};
    }
    if (child == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        std::fprintf(stderr, "startup_ratio: cannot run %s: %s\n", program.c_str(),
                     std::strerror(errno));
        _exit(127);
    }
    double mappedAt = -1;
    pollfd descriptor{xcb_get_file_descriptor(x), POLLIN, 0};
    while (mappedAt < 0 && NowMs() - start < options.TimeoutMs) {
        xcb_generic_event_t* event = xcb_poll_for_event(x);
        if (!event) {
            if (xcb_connection_has_error(x))
                break;
            poll(&descriptor, 1, 100);
            continue;
        }
        const double at = NowMs();
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (!map->override_redirect && IsTheWindow(x, map->window, options))
                mappedAt = at - start;
        }
        std::free(event);
        int status = 0;
        if (mappedAt < 0 && waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "startup_ratio: %s ended before mapping its window\n",
                         program.c_str());
            return {};
        }
    }
    TRun run;
    run.WallMs = mappedAt;
    if (mappedAt >= 0) {
        kill(child, SIGSTOP);
        int status = 0;
        waitpid(child, &status, WUNTRACED);
        run.ProcessorMs = ProcessorMs(child);
        kill(child, SIGTERM);
        kill(child, SIGCONT);
    } else {
        std::fprintf(stderr, "startup_ratio: %s mapped no %dx%d window\n", program.c_str(),
                     options.Width, options.Height);
        kill(child, SIGTERM);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "startup_ratio: no X server (DISPLAY)\n");
        return 2;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    // One run of each first, untimed, so all start with the same warm file cache.
    if (TimeOne(x, options.Bare, options).WallMs < 0)
        return 1;
    for (const std::string& panel : options.Panels)
        if (TimeOne(x, panel, options).WallMs < 0)
            return 1;
    const std::size_t count = options.Panels.size();
    std::vector<double> bare, bareCpu;
    std::vector<std::vector<double>> panel(count), panelCpu(count);
    for (int i = 0; i < options.Runs; ++i) {
        const TRun b = TimeOne(x, options.Bare, options);
        if (b.WallMs < 0)
            return 1;
        bare.push_back(b.WallMs);
        bareCpu.push_back(b.ProcessorMs);
        for (std::size_t k = 0; k < count; ++k) {
            const TRun p = TimeOne(x, options.Panels[k], options);
            if (p.WallMs < 0)
                return 1;
            panel[k].push_back(p.WallMs);
            panelCpu[k].push_back(p.ProcessorMs);
        }
    }
    const auto print = [](const std::string& what, const std::vector<double>& values) {
        std::printf("  %-40s median %6.1f ms  (min %6.1f, max %6.1f)\n", what.c_str(),
                    Median(values), *std::min_element(values.begin(), values.end()),
                    *std::max_element(values.begin(), values.end()));
    };
    std::printf("runs %d, from exec to the window mapped\n", options.Runs);
    std::printf("wall time\n");
    print(options.Bare, bare);
    for (std::size_t k = 0; k < count; ++k) {
        print(options.Panels[k], panel[k]);
        std::printf("  ratio %.2f\n", Median(panel[k]) / Median(bare));
    }
    std::printf("processor time\n");
    print(options.Bare, bareCpu);
    for (std::size_t k = 0; k < count; ++k) {
        print(options.Panels[k], panelCpu[k]);
        std::printf("  ratio %.2f\n", Median(panelCpu[k]) / Median(bareCpu));
    }
    xcb_disconnect(x);
    return 0;
}
