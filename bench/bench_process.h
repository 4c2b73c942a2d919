// Running the commands a benchmark compares, timed: wall clock, processor time and memory peak.
#pragma once

#include <sys/time.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kelvora::bench {

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the command and its children
    long peakKiB = 0;       // the largest process's resident peak, as the system counts it
    int status = 0;
};

double secondsOf(const timeval& t);

// Runs argv[0] (looked up in PATH) with its arguments and waits for it.
Run runChild(const std::vector<std::string>& argv);
// Runs a command line through /bin/sh.
Run shell(const std::string& command);
// A path in single quotes, for shell().
std::string quote(const std::filesystem::path& p);
// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
std::string loadAverage();

}  // namespace kelvora::bench
