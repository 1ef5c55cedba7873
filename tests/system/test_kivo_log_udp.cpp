// kivo-log's feed for the ship's data system, received on the loopback address: every CSV
// row once, in order, behind the tag; a feed nobody receives never holds the recording up.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

const std::string kDevice = std::string(KIVO_TEST_DATA) + "/scatter9.dev";

// A UDP socket bound to 127.0.0.1 on a port the system chose, closed at the end.
class Receiver {
public:
    Receiver() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        // Room for every datagram of the run: nothing is read until kivo-log has stopped.
        const int size = 8 << 20;
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    ~Receiver() { Close(); }

    int Port() const { return port_; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    // Every datagram waiting, in the order they came.
    std::vector<std::string> TakeAll() {
        std::vector<std::string> datagrams;
        std::vector<char> buffer(65536);
        for (;;) {
            const ssize_t size = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (size < 0) break;
            datagrams.emplace_back(buffer.data(), static_cast<std::size_t>(size));
        }
        return datagrams;
    }

private:
    int fd_;
    int port_ = 0;
};

// The data rows of a CSV file, each with its CR LF and without its quality flags.
std::vector<std::string> RowsWithoutFlags(const std::string& path) {
    std::istringstream in(ReadBytes(path));
    std::vector<std::string> rows;
    std::size_t flags = 0;
    bool heading = true;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        line.pop_back();  // the CR
        if (heading) {
            for (std::size_t at = line.find("_qc"); at != std::string::npos;
                 at = line.find("_qc", at + 1))
                ++flags;
            heading = false;
            continue;
        }
        for (std::size_t i = 0; i < flags; ++i) line.erase(line.rfind(','));
        rows.push_back(line + "\r\n");
    }
    return rows;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool MoreRowsThan(const std::string& path, std::size_t count) {
    return WaitFor([&] { return RowsWithoutFlags(path).size() > count; });
}

TEST(LoggerFeed, EveryCsvRowArrivesOnceInOrderBehindTheTag) {
    ScratchDirectory folder;
    Receiver receiver;
    const std::string csv = folder.File("log.csv");
    SimProcess sim({"--dev", kDevice, "--rate", "40", "--autorun"});
    ChildProcess log(KIVO_LOG_PATH,
                     {"--port", sim.PortPath(), "--dev", kDevice, "--csv", csv, "--udp",
                      "127.0.0.1:" + std::to_string(receiver.Port()), "--tag", "bb9-fwd"});
    ASSERT_TRUE(MoreRowsThan(csv, 100)) << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();

    const std::vector<std::string> rows = RowsWithoutFlags(csv);
    std::vector<std::string> expected;
    for (const std::string& row : rows) expected.push_back("bb9-fwd," + row);
    EXPECT_GT(expected.size(), 80u);
    EXPECT_EQ(receiver.TakeAll(), expected);
    EXPECT_EQ(Count(log.Stderr(), "UDP feed"), 0u) << log.Stderr();
}

// A port nobody listens on: the refusals are told once, the recording keeps every line.
TEST(LoggerFeed, AFeedNobodyReceivesIsToldOnceAndCostsTheRecordingNothing) {
    ScratchDirectory folder;
    Receiver gone;
    const int port = gone.Port();
    gone.Close();
    const std::string eng = folder.File("log.eng");
    const std::string csv = folder.File("log.csv");
    SimProcess sim({"--dev", kDevice, "--rate", "40", "--autorun"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--eng", eng,
                                     "--csv", csv, "--udp", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(MoreRowsThan(csv, 100)) << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();

    const std::string told = "UDP feed to 127.0.0.1:" + std::to_string(port) +
                             ": cannot send (Connection refused); 1 line not sent so far";
    EXPECT_EQ(Count(log.Stderr(), "UDP feed"), 1u) << log.Stderr();
    EXPECT_EQ(Count(log.Stderr(), told), 1u) << log.Stderr();
    EXPECT_EQ(RowsWithoutFlags(csv).size() + 1, Count(ReadBytes(eng), "\n"));  // its heading
    // The count of lines that could not go is kept with the run's story.
    EXPECT_EQ(Count(ReadBytes(folder.File("kivoview-events.log")),
                    "UDP feed to 127.0.0.1:" + std::to_string(port) + " stopped"),
              1u);
}

}  // namespace
}  // namespace kivo::test
