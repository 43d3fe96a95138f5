#pragma once

#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

// One editor per user. The running editor listens on the local socket "editor.sock" in the
// runtime folder ($XDG_RUNTIME_DIR/quillon, mode 0700; the socket 0600); a second start connects,
// sends its arguments as one hand-over record and ends without a window.

// The socket's path.
std::string instanceSocketPath();

// The second start's side: hands the arguments (relative paths made absolute, at most 128) to
// the running editor. False when no editor listens (nothing there, or a socket left by one that
// died) or the record could not be sent: this start then runs the editor itself. Needs a
// QCoreApplication.
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
  // another editor listens there or the socket cannot be made.
  bool listen();
  bool isListening() const { return server_.isListening(); }

  // Typically: bring the main window to the front, then `openFiles` (unless a command is
  // running: its dialogs are modal, and the document must not change under it).
  void setHandler(Handler handler);

 private:
  void accept();
  void deliver(std::vector<std::string> arguments);

  QLocalServer server_;
  Handler handler_;
  std::vector<std::vector<std::string>> waiting_;
};

}  // namespace quillon
