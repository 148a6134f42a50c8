// Round trip of a control read through MacUvcClient against a live Korvid (started by
// korvid-launcher from this program's folder, virtual camera) beside a bare loopback TCP round
// trip of the same frame sizes; and the cost of an empty frame poll beside a bare semaphore
// take and give.

#include "macuvcclient.h"
#include "mainframeblock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QThread* g_clientThread = nullptr;

bool linked(MacUvcClient* c)
{
    for (QTcpSocket* s : c->findChildren<QTcpSocket*>())
        if (s->peerPort() == UvcServicePort && s->state() == QAbstractSocket::ConnectedState)
            return true;
    return false;
}

// The client lives on a thread of its own, as in the application; requests come from the
// benchmark's thread.
MacUvcClient* liveClient()
{
    static MacUvcClient* client = [] {
        MacUvcClient* c = MacUvcClient::getInstance();
        g_clientThread = new QThread;
        g_clientThread->start();
        c->moveToThread(g_clientThread);
        QElapsedTimer t;
        t.start();
        while (!linked(c) && t.elapsed() < 15000)
            QThread::msleep(10);
        if (!linked(c) || c->switchWorkMode(1) != 0)
            return static_cast<MacUvcClient*>(nullptr);
        return c;
    }();
    return client;
}

void setPercentiles(benchmark::State& state, std::vector<double>& us)
{
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void BM_ControlReadRoundTrip(benchmark::State& state)
{
    MacUvcClient* c = liveClient();
    if (!c) {
        state.SkipWithError("Korvid not reachable");
        return;
    }
    std::vector<double> us;
    us.reserve(100000);
    PaxUvcControl::_CameraInfo info{};
    QElapsedTimer t;
    for (auto _ : state) {
        t.start();
        const int r = c->getBrightnessInfo(0, &info);
        us.push_back(t.nsecsElapsed() / 1000.0);
        if (r != 0) {
            state.SkipWithError("control read failed");
            break;
        }
    }
    setPercentiles(state, us);
}
BENCHMARK(BM_ControlReadRoundTrip)->UseRealTime();

// Peer: one request frame and one reply frame of the same sizes over a loopback TCP connection
// to an echoing thread, with blocking sockets and nothing else.
void BM_BareLoopbackRoundTrip(benchmark::State& state)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener, 1);
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);

    const QByteArray request = UvcLinkFrame::encode(UvcLinkText::getControl(0, 0));
    const QByteArray reply = UvcLinkFrame::encode(UvcLinkText::getControlValueReply(0, 0, 255, 0, 128, 100));
    std::thread echo([&] {
        const int s = ::accept(listener, nullptr, nullptr);
        int one = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::vector<char> buf(size_t(request.size()));
        for (;;) {
            size_t got = 0;
            while (got < buf.size()) {
                const ssize_t n = ::recv(s, buf.data() + got, buf.size() - got, 0);
                if (n <= 0) {
                    ::close(s);
                    return;
                }
                got += size_t(n);
            }
            ::send(s, reply.constData(), size_t(reply.size()), 0);
        }
    });
    const int c = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int one = 1;
    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<char> in(size_t(reply.size()));
    std::vector<double> us;
    us.reserve(100000);
    QElapsedTimer t;
    for (auto _ : state) {
        t.start();
        ::send(c, request.constData(), size_t(request.size()), 0);
        size_t got = 0;
        while (got < in.size()) {
            const ssize_t n = ::recv(c, in.data() + got, in.size() - got, 0);
            if (n <= 0)
                break;
            got += size_t(n);
        }
        us.push_back(t.nsecsElapsed() / 1000.0);
    }
    ::close(c);
    echo.join();
    ::close(listener);
    setPercentiles(state, us);
}
BENCHMARK(BM_BareLoopbackRoundTrip)->UseRealTime();

void BM_EmptyFramePoll(benchmark::State& state)
{
    MacUvcClient* c = liveClient();
    if (!c) {
        state.SkipWithError("Korvid not reachable");
        return;
    }
    for (auto _ : state) {
        PaxUvcControl::_VideoFrame* f = c->getVideoFrameFromMainCamera();
        if (f) {
            std::free(f->data);
            delete f;
            state.SkipWithError("the block was not empty");
            break;
        }
    }
}
BENCHMARK(BM_EmptyFramePoll);

// Peer: the semaphore take and give that an empty poll needs at least.
void BM_BareSemaphoreTakeGive(benchmark::State& state)
{
    MainFrameBlock block;
    if (!block.open(mainFrameKeyPath())) {
        state.SkipWithError("block not there");
        return;
    }
    for (auto _ : state) {
        block.semaphore().take();
        benchmark::DoNotOptimize(*static_cast<volatile quint32*>(block.address()));
        block.semaphore().give();
    }
    block.detach();
}
BENCHMARK(BM_BareSemaphoreTakeGive);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("ORVANE_VIRTUAL_CAMERA", "1");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});   // quiet

    QProcess launcher;
    launcher.setProgram(QCoreApplication::applicationDirPath() + "/korvid-launcher");
    launcher.setStandardOutputFile(QProcess::nullDevice());
    launcher.setStandardErrorFile(QProcess::nullDevice());
    launcher.start();
    launcher.waitForStarted(10000);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (MacUvcClient* c = liveClient())
        c->switchWorkMode(0);
    MacUvcClient::releaseInstance();
    if (g_clientThread) {
        g_clientThread->quit();
        g_clientThread->wait();
        delete g_clientThread;
    }
    launcher.terminate();
    if (!launcher.waitForFinished(8000))
        launcher.kill();
    return 0;
}
