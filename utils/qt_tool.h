#pragma once
// Scaffolding of the small Qt programs the build and the developers run beside the
// product: the image generators (run at build time) and the screenshot tools (run
// under Xvfb). Header only, so that those programs link nothing of the project for it.
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QTranslator>

namespace utils {

// Runs the event loop for `ms` milliseconds, so that animations, style sheets and
// the window manager settle before a grab.
inline void Settle(int ms) {
  QTimer timer;
  timer.setSingleShot(true);
  timer.start(ms);
  while (timer.isActive()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Installs ":/language/<lang>.qm" when argv[index] names a language; a catalogue that
// does not load leaves the texts as written.
inline void InstallLanguageArgument(QTranslator& translator, int argc, char** argv, int index) {
  if (argc <= index) return;
  const QString lang = QString::fromLocal8Bit(argv[index]);
  if (translator.load(QStringLiteral(":/language/%1.qm").arg(lang)))
    QCoreApplication::installTranslator(&translator);
}

// The output folder of an image generator (`<program> <output folder>`) and the count
// of pictures that could not be written.
class PictureFolder {
 public:
  static PictureFolder& Instance() {
    static PictureFolder folder;
    return folder;
  }

  // Takes the folder from the arguments and creates it with its frames/ subfolder.
  // Returns the exit code to leave with on failure (2: usage, 1: no folder), else 0.
  int Open(int argc, char** argv) {
    if (argc < 2) {
      std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
      return 2;
    }
    path_ = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(QDir(path_).filePath(QStringLiteral("frames")))) {
      std::fprintf(stderr, "cannot create %s\n", argv[1]);
      return 1;
    }
    return 0;
  }

  void Save(const QImage& image, const QString& name) {
    const QString path = QDir(path_).filePath(name);
    if (!image.save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      ++failures_;
    }
  }

  int ExitCode() const { return failures_ == 0 ? 0 : 1; }

 private:
  QString path_;
  int failures_ = 0;
};

// Saves one picture of an image generator as PNG under the output folder.
inline void SavePicture(const QImage& image, const QString& name) {
  PictureFolder::Instance().Save(image, name);
}

}  // namespace utils
