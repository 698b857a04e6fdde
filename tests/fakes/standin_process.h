// The host stand-in (tools/hostsim) as a child process of a test or a benchmark. It is started with
// its arguments, its first line ("listening service=ADDR:PORT portal=ADDR:PORT|off data=DIR") read
// for the ports, ended with SIGTERM; its folder is removed at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace ostravel::testing {

class StandInProcess {
public:
    StandInProcess() = default;
    ~StandInProcess() { Stop(); }
    StandInProcess(const StandInProcess&) = delete;
    StandInProcess& operator=(const StandInProcess&) = delete;

    // Makes `folder` and runs `args` (the program first). The folder stays across Terminate, so a
    // start in the same folder comes back with the same data. With `keepOutput` what it prints after
    // its first line stays readable (Printed). False when it did not start or its first line names no
    // service port; it is then not left running.
    bool Start(const std::filesystem::path& folder, const std::vector<std::string>& args,
               bool keepOutput = false);
    // SIGTERM: the stand-in says "/bye" to every client and exits. Its folder stays.
    void Terminate();
    // Terminates it and removes its folder.
    void Stop();

    unsigned short ServicePort() const { return servicePort_; }
    unsigned short PortalPort() const { return portalPort_; }  // 0 when it runs none
    // Its standard output while kept (non-blocking, to poll on), else -1.
    int Output() const { return output_; }
    // What it has printed after its first line so far (never waits).
    const std::string& Printed();

    // The port of "KEY=ADDR:PORT" in `line` (ADDR may be "[::1]"); 0 when it is not there.
    static unsigned short PortAfter(const std::string& line, const std::string& key);

private:
    pid_t pid_ = 0;
    int output_ = -1;
    unsigned short servicePort_ = 0;
    unsigned short portalPort_ = 0;
    std::filesystem::path folder_;
    std::string printed_;
};

}  // namespace ostravel::testing
