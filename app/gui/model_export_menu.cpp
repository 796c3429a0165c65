#include "app/gui/model_export_menu.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <new>

#include "app/gui/local_path.h"
#include "app/gui/model_preview.h"
#include "app/gui/user_feedback.h"
#include "core/platform.h"
#include "usecases/model_export.h"

namespace durvane::gui {
namespace {

QString FileDialogTarget(QWidget* parent, const QString& suggested,
                         exporting::ExportFormat format) {
  if (format == exporting::ExportFormat::kObj) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export as OBJ"), suggested,
                                        QStringLiteral("Wavefront OBJ (*.obj)"));
  }
  return QFileDialog::getSaveFileName(
      parent, QStringLiteral("Export as glTF"), suggested,
      QStringLiteral("Binary glTF (*.glb);;glTF with its files beside it (*.gltf)"));
}

QString Name(const QString& path) {
  return QFileInfo(path).fileName();
}

}  // namespace

ModelExportMenu::ModelExportMenu(ModelPreview& preview, UserFeedback& feedback, AskTarget ask)
    : preview_(preview),
      feedback_(feedback),
      ask_(std::move(ask)),
      gltf_(QStringLiteral("Export as glTF...")),
      obj_(QStringLiteral("Export as OBJ...")) {
  if (!ask_) {
    ask_ = [&preview](const QString& suggested, exporting::ExportFormat format) {
      return FileDialogTarget(&preview, suggested, format);
    };
  }
  pool_.setMaxThreadCount(1);
  connect(&gltf_, &QAction::triggered, this, [this] { Ask(exporting::ExportFormat::kGlb); });
  connect(&obj_, &QAction::triggered, this, [this] { Ask(exporting::ExportFormat::kObj); });
  connect(&watcher_, &QFutureWatcher<Outcome>::finished, this, &ModelExportMenu::OnFinished);
  connect(&preview_, &ModelPreview::Shown, this, &ModelExportMenu::UpdateActions);
  preview_.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&preview_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateActions();
    QMenu menu(&preview_);
    menu.addAction(&gltf_);
    menu.addAction(&obj_);
    menu.exec(preview_.mapToGlobal(at));
  });
  UpdateActions();
}

ModelExportMenu::~ModelExportMenu() {
  pool_.waitForDone();
}

void ModelExportMenu::UpdateActions() {
  const bool can = !busy_ && !preview_.File().isEmpty();
  gltf_.setEnabled(can);
  obj_.setEnabled(can);
}

void ModelExportMenu::Ask(exporting::ExportFormat format) {
  const QString shown = preview_.File();
  if (busy_ || shown.isEmpty()) return;
  const QFileInfo info(shown);
  const QString suggested = info.dir().filePath(
      FromBytes(platform::PathBytes(exporting::ExportFileName(LocalPath(shown), format))));
  QString target = ask_(suggested, format);
  if (target.isEmpty()) return;
  if (format != exporting::ExportFormat::kObj &&
      target.endsWith(QStringLiteral(".gltf"), Qt::CaseInsensitive)) {
    format = exporting::ExportFormat::kGltf;
  }
  ExportTo(target, format);
}

void ModelExportMenu::ExportTo(const QString& target, exporting::ExportFormat format) {
  if (busy_) return;
  busy_ = true;
  source_ = preview_.File();
  target_ = target;
  UpdateActions();
  watcher_.setFuture(QtConcurrent::run(
      &pool_, [source = LocalPath(source_), output = LocalPath(target), format]() -> Outcome {
        platform::LowerThreadPriority();
        Outcome outcome;
        try {
          for (const std::string& w : exporting::ExportModel(source, output, format).warnings) {
            outcome.warnings.append(FromBytes(w));
          }
        } catch (const std::bad_alloc&) {
          outcome.error = QStringLiteral("out of memory");
        } catch (const std::exception& e) {
          outcome.error = FromBytes(e.what());
        }
        return outcome;
      }));
}

void ModelExportMenu::OnFinished() {
  const Outcome outcome = watcher_.result();
  busy_ = false;
  UpdateActions();
  if (!outcome.error.isEmpty()) {
    feedback_.ShowError(
        QStringLiteral("'%1' could not be exported to '%2'.").arg(Name(source_), Name(target_)),
        outcome.error);
  } else if (!outcome.warnings.isEmpty()) {
    feedback_.ShowWarnings(QStringLiteral("'%1' was exported to '%2', with warnings:")
                               .arg(Name(source_), Name(target_)),
                           outcome.warnings);
  } else {
    feedback_.Beep();
  }
  emit Finished();
}

}  // namespace durvane::gui
