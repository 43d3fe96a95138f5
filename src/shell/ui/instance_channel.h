#pragma once

#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

// One editor per user. The running editor listens on the local socket "editor.sock" in the
// private runtime folder ($XDG_RUNTIME_DIR/quillon, mode 0700, checked by
// `XdgDirs::privateRuntimeFolder`; the socket 0600); a second start connects, sends its arguments
// as one hand-over record and ends without a window. Neither side uses a runtime folder that is
// not private: another user could listen there, or plant what the editor would trust.

// The socket's path in the private runtime folder; "" when that folder is refused.
std::string instanceSocketPath();

// The second start's side: hands the arguments (relative paths made absolute, at most 128) to
// the running editor. False when no editor listens (nothing there, or a socket left by one that
// died), the runtime folder is refused, or the record could not be sent: this start then runs
// the editor itself. Needs a QCoreApplication.
bool handOverToRunningInstance(const std::vector<std::string>& arguments, int timeoutMs = 3000);

// The running editor's side. Every connection may deliver one record: it is taken when the
// sender closes, and only when it is exactly 66,564 bytes with a sane count; anything else is
// dropped, as is a connection still open after 5 seconds. Each record taken reaches the
// handler through the event loop, never from inside the socket's own signal; records that come
// before a handler is set wait for it.
class InstanceServer : public QObject {
 public:
  using Handler = std::function<void(const std::vector<std::string>& arguments)>;

  explicit InstanceServer(QObject* parent = nullptr);
  ~InstanceServer() override;

  // Listens at `instanceSocketPath()`, replacing a socket that a dead editor left; false when
  // another editor listens there, the socket cannot be made, or the runtime folder is refused
  // (`refusal()` then says why).
  bool listen();
  bool isListening() const { return server_.isListening(); }
  const std::string& refusal() const { return refusal_; }

  // Typically: bring the main window to the front, then `openFiles` (unless a command is
  // running: its dialogs are modal, and the document must not change under it).
  void setHandler(Handler handler);

 private:
  void accept();
  void deliver(std::vector<std::string> arguments);

  QLocalServer server_;
  Handler handler_;
  std::vector<std::vector<std::string>> waiting_;
  std::string refusal_;
};

}  // namespace quillon
