// The preview's export menu: the file the user names gets the model in the format chosen, the
// outcome reaches the window's feedback, and a refused model or a dialog given up writes nothing.
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/gui/model_export_menu.h"
#include "app/gui/model_preview.h"
#include "tests/gui/gui_test_support.h"

namespace durvane::gui {
namespace {

using exporting::ExportFormat;
using testing::RecordingFeedback;
using testing::SampleBytes;
using testing::WriteFile;

class ModelExportMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void exportsWhatThePaneShows() {
    struct Case {
      const char* name;
      QString shown;     // in the folder
      bool glTF_action;  // else the OBJ action
      QString answer;    // "" gives up; "=" takes the suggestion
      QString suggested;
      QStringList written;  // the folder's files afterwards, besides the shown one
      QString event;        // what the feedback heard: "beep", "error", or "" for nothing
    };
    const QList<Case> cases = {
        {"binary glTF", "sample.opt", true, "=", "sample.glb", {"sample.glb"}, "beep"},
        {"glTF with its files",
         "sample.opt",
         true,
         "out.gltf",
         "sample.glb",
         {"HULL0001.png", "WING_A01.png", "out.bin", "out.gltf"},
         "beep"},
        {"OBJ",
         "sample.opt",
         false,
         "=",
         "sample.obj",
         {"HULL0001.png", "WING_A01.png", "sample.mtl", "sample.obj"},
         "beep"},
        {"dialog given up", "sample.opt", true, "", "sample.glb", {}, ""},
        {"refused model", "broken.prj", false, "=", "broken.obj", {}, "error"},
    };
    for (const Case& c : cases) {
      QTemporaryDir dir;
      QVERIFY(dir.isValid());
      WriteFile(dir.filePath("sample.opt"), SampleBytes());
      WriteFile(dir.filePath("broken.prj"), QByteArray("not a PRJ file"));
      ModelPreview preview;
      RecordingFeedback feedback;
      QString suggested;
      ModelExportMenu menu(preview, feedback, [&](const QString& s, ExportFormat) {
        suggested = s;
        if (c.answer == "=") return s;
        return c.answer.isEmpty() ? QString() : dir.filePath(c.answer);
      });
      QSignalSpy shown(&preview, &ModelPreview::Shown);
      preview.ShowFile(dir.filePath(c.shown));
      QVERIFY2(shown.wait(20000), c.name);
      QSignalSpy finished(&menu, &ModelExportMenu::Finished);
      QAction& action = c.glTF_action ? menu.GltfAction() : menu.ObjAction();
      QVERIFY2(action.isEnabled(), c.name);
      action.trigger();
      if (!c.event.isEmpty()) QVERIFY2(finished.wait(20000), c.name);
      QCOMPARE(suggested, dir.filePath(c.suggested));
      QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
      files.removeAll("sample.opt");
      files.removeAll("broken.prj");
      QCOMPARE(files, c.written);
      QCOMPARE(feedback.events.join(','), c.event);
      if (c.event == "error") {
        QVERIFY2(feedback.errors[0].summary.startsWith("'broken.prj' could not be exported"),
                 qPrintable(feedback.errors[0].summary));
      }
      QVERIFY(action.isEnabled());
    }
  }

  void nothingToExportWithoutAFile() {
    ModelPreview preview;
    RecordingFeedback feedback;
    ModelExportMenu menu(preview, feedback,
                         [](const QString&, ExportFormat) { return QString("never.glb"); });
    QVERIFY(!menu.GltfAction().isEnabled());
    QVERIFY(!menu.ObjAction().isEnabled());
  }
};

}  // namespace
}  // namespace durvane::gui

QTEST_MAIN(durvane::gui::ModelExportMenuTest)
#include "model_export_menu_test.moc"
