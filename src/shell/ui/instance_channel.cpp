#include "shell/ui/instance_channel.h"

#include <sys/stat.h>

#include <QLocalSocket>
#include <QTimer>
#include <memory>

#include "platform/paths.h"
#include "platform/xdg_dirs.h"
#include "shell/handover_record.h"

namespace quillon {
namespace {

constexpr char kSocketName[] = "editor.sock";
constexpr int kIdleConnectionMs = 5000;

QString socketName() {
  return QString::fromStdString(instanceSocketPath());
}

// What one connection has sent so far.
struct Incoming {
  QByteArray bytes;
  bool refused = false;
};

}  // namespace

std::string instanceSocketPath() {
  const std::string folder = platform::XdgDirs::privateRuntimeFolder();
  return folder.empty() ? std::string() : platform::joinPath(folder, kSocketName);
}

bool handOverToRunningInstance(const std::vector<std::string>& arguments, int timeoutMs) {
  const QString name = socketName();
  if (name.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(timeoutMs)) return false;
  const std::vector<uint8_t> record = encodeHandover(handoverArguments(arguments));
  if (socket.write(reinterpret_cast<const char*>(record.data()), qint64(record.size())) !=
      qint64(record.size())) {
    return false;
  }
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
  }
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return true;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {
  connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

InstanceServer::~InstanceServer() {
  server_.close();  // removes the socket file
}

bool InstanceServer::listen() {
  if (platform::XdgDirs::privateRuntimeFolder(&refusal_).empty()) return false;
  // Bound at the path itself, so listening fails while a socket is there; the folder is the
  // user's alone, and the socket's mode is narrowed at once.
  const QString name = socketName();
  if (!server_.listen(name)) {
    if (server_.serverError() != QAbstractSocket::AddressInUseError) return false;
    // A socket file is there: an editor that answers keeps it, one left by a dead editor goes.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000)) return false;
    QLocalServer::removeServer(name);
    if (!server_.listen(name)) return false;
  }
  ::chmod(instanceSocketPath().c_str(), 0600);
  return true;
}

void InstanceServer::setHandler(Handler handler) {
  handler_ = std::move(handler);
  std::vector<std::vector<std::string>> waiting;
  waiting.swap(waiting_);
  for (std::vector<std::string>& arguments : waiting)
    deliver(std::move(arguments));
}

void InstanceServer::accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    auto incoming = std::make_shared<Incoming>();
    auto take = [socket, incoming] {
      if (incoming->refused) return;
      incoming->bytes += socket->readAll();
      if (size_t(incoming->bytes.size()) > kHandoverRecordBytes) {
        incoming->refused = true;
        socket->abort();
      }
    };
    connect(socket, &QLocalSocket::readyRead, this, take);
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, incoming, take] {
      take();
      socket->deleteLater();
      if (incoming->refused) return;
      const auto* data = reinterpret_cast<const uint8_t*>(incoming->bytes.constData());
      if (auto arguments = decodeHandover({data, size_t(incoming->bytes.size())})) {
        deliver(std::move(*arguments));
      }
    });
    QTimer::singleShot(kIdleConnectionMs, socket, [socket, incoming] {
      incoming->refused = true;
      socket->abort();
    });
  }
}

void InstanceServer::deliver(std::vector<std::string> arguments) {
  if (!handler_) {
    waiting_.push_back(std::move(arguments));
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, arguments = std::move(arguments)] { handler_(arguments); },
      Qt::QueuedConnection);
}

}  // namespace quillon
