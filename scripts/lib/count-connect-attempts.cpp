// Preloaded into the panel by scripts/faults: counts connect attempts, that is calls of
// QAbstractSocket::connectToHost, one line each in the file named by QEV_ATTEMPTS_FILE, and
// passes every call on to Qt unchanged.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <QAbstractSocket>
#include <cstdlib>

void QAbstractSocket::connectToHost(const QString& hostName, quint16 port, OpenMode openMode,
                                    NetworkLayerProtocol protocol) {
  using Real = void (*)(QAbstractSocket*, const QString&, quint16, OpenMode, NetworkLayerProtocol);
  static const auto real = reinterpret_cast<Real>(dlsym(
      RTLD_NEXT,
      "_ZN15QAbstractSocket13connectToHostERK7QStringt6QFlagsIN13QIODeviceBase12OpenModeFlagEENS_"
      "20NetworkLayerProtocolE"));
  if (const char* path = std::getenv("QEV_ATTEMPTS_FILE")) {
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd >= 0) {
      [[maybe_unused]] const auto written = ::write(fd, "attempt\n", 8);
      ::close(fd);
    }
  }
  real(this, hostName, port, openMode, protocol);
}
