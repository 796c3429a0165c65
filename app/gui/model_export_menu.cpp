#include "app/gui/model_export_menu.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QtConcurrent/QtConcurrentRun>

#include "app/gui/local_path.h"
#include "app/gui/model_preview.h"
#include "app/gui/user_feedback.h"
#include "core/platform.h"

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
  connect(&watcher_, &QFutureWatcher<window::ExportResult>::finished, this,
          &ModelExportMenu::OnFinished);
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
  const QString target =
      ask_(FromBytes(window::SuggestedExportTarget(ToBytes(shown), format)), format);
  if (target.isEmpty()) return;
  ExportTo(target, window::AnsweredFormat(ToBytes(target), format));
}

void ModelExportMenu::ExportTo(const QString& target, exporting::ExportFormat format) {
  if (busy_) return;
  busy_ = true;
  source_ = preview_.File();
  target_ = target;
  UpdateActions();
  watcher_.setFuture(
      QtConcurrent::run(&pool_, [source = ToBytes(source_), output = ToBytes(target), format] {
        platform::LowerThreadPriority();
        return window::ExportShownModel(source, output, format);
      }));
}

void ModelExportMenu::OnFinished() {
  const window::ExportNotice notice =
      window::NoticeOf(ToBytes(source_), ToBytes(target_), watcher_.result());
  busy_ = false;
  UpdateActions();
  switch (notice.kind) {
    case window::ExportNotice::Kind::kError:
      feedback_.ShowError(FromBytes(notice.headline), FromBytes(notice.details));
      break;
    case window::ExportNotice::Kind::kWarnings:
      feedback_.ShowWarnings(FromBytes(notice.headline), FromBytes(notice.warnings));
      break;
    case window::ExportNotice::Kind::kBeep:
      feedback_.Beep();
      break;
  }
  emit Finished();
}

}  // namespace durvane::gui
