// The preview pane's context menu: "Export as glTF..." and "Export as OBJ..." write the model the
// pane shows to a file the user names, on a thread of the menu's own so that the window never
// waits for it. The outcome reaches the user through the window's feedback: a beep when all
// went well, the warnings when there are some, the error when nothing was written.
#pragma once

#include <QAction>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <functional>

#include "app/window/model_export_choice.h"
#include "export/export_format.h"

namespace durvane::gui {

class ModelPreview;
class UserFeedback;

class ModelExportMenu : public QObject {
  Q_OBJECT

 public:
  // Asks where to write the export of `shown` (an OPT or PRJ file) in `format`, suggesting
  // `suggested`; an empty answer gives up. A .gltf answer to the glTF action writes .gltf, any
  // other .glb.
  using AskTarget =
      std::function<QString(const QString& suggested, exporting::ExportFormat format)>;

  // Attaches the menu to `preview`; `ask` defaults to a file dialog over the pane.
  ModelExportMenu(ModelPreview& preview, UserFeedback& feedback, AskTarget ask = {});
  // Waits for an export under way.
  ~ModelExportMenu() override;

  // The two actions, enabled while the pane shows a file and no export runs.
  QAction& GltfAction() { return gltf_; }
  QAction& ObjAction() { return obj_; }
  // Writes the shown file's model to `target` in `format`; Finished() follows.
  void ExportTo(const QString& target, exporting::ExportFormat format);
  bool Busy() const { return busy_; }

 signals:
  // An export ended and its outcome was handed to the feedback.
  void Finished();

 private:
  void Ask(exporting::ExportFormat format);
  void UpdateActions();
  void OnFinished();

  ModelPreview& preview_;
  UserFeedback& feedback_;
  AskTarget ask_;
  QAction gltf_;
  QAction obj_;
  bool busy_ = false;
  QString source_;
  QString target_;
  QThreadPool pool_;
  QFutureWatcher<window::ExportResult> watcher_;
};

}  // namespace durvane::gui
