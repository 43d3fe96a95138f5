#include "browser/ui/file_browser_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPixmap>
#include <QUrl>

#include "browser/file_browser.h"
#include "browser/memory_file_system.h"
#include "browser/ui/browser_dialog.h"
#include "platform/scripted_interaction.h"

namespace quillon::browser {

bool DesktopFileSystem::openInShell(const BrowserEntry& entry) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(entry.path)));
}

std::optional<std::string> runFileBrowser(QWidget* owner, const FileChooserRequest& request,
                                          Interaction& interaction, FileSystem& files) {
  BrowserDialog dialog(files, interaction, setupFor(request), owner);
  dialog.exec();
  return chosenPath(dialog.controller());
}

std::optional<std::string> runFileBrowser(QWidget* owner, const FileChooserRequest& request,
                                          Interaction& interaction) {
  DesktopFileSystem files;
  return runFileBrowser(owner, request, interaction, files);
}

bool renderBrowserScreenshot(const std::string& pngPath, const FileChooserRequest& request,
                             int width, int height) {
  constexpr int64_t kDay = 86400;
  const int64_t now = 1'718'000'000;
  MemoryFileSystem files;
  const std::string music = "/home/user/Music";
  files.addFolder(music + "/Interviews", now - 3 * kDay);
  files.addFolder(music + "/Podcast", now - 10 * kDay);
  files.addFolder(music + "/Sessions", now - 40 * kDay);
  const struct {
    const char* name;
    int64_t size;
  } kFiles[] = {
      {"Interview take 1.wav", 52'918'444},
      {"Interview take 2.wav", 47'120'300},
      {"Interview take 10.wav", 3'912'004},
      {"Morning birds.wav", 211'480'112},
      {"Jingle.wav", 1'500},
      {"Click.wav", 999},
      {"Voice memo 2024-06-10.wav", 845'022},
      {"Podcast episode 12.mp3", 61'234'112},
      {"Theme (piano).aiff", 9'877'654},
      {"Phone message.au", 120'044},
      {"Dictation.gsm", 33'660},
      {"Old tape side A.wav", 1'234'567'890},
      {"notes.txt", 2'048},
  };
  int64_t age = 0;
  for (const auto& file : kFiles)
    files.addFile(music + "/" + file.name, file.size, now - (age += 3600));
  files.current = music;

  FileChooserRequest shown = request;
  shown.folder = music;
  ScriptedInteraction answers;
  BrowserDialog dialog(files, answers, setupFor(shown));
  dialog.resize(width, height);
  dialog.show();
  while (dialog.controller().folder().empty())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QApplication::processEvents();
  const QPixmap picture = dialog.grab();
  dialog.hide();
  return picture.save(QString::fromStdString(pngPath), "PNG");
}

}  // namespace quillon::browser
