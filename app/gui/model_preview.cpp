#include "app/gui/model_preview.h"

#include "app/gui/local_path.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <exception>
#include <new>

#include "usecases/model_files.h"

namespace durvane::gui {

// What a worker hands back: the model it read (to turn it without reading it again), and the
// picture or the reason there is none.
struct ModelPreview::Result {
  std::shared_ptr<const render::Model> model;
  QImage picture;
  QString error;
};

namespace {

constexpr double kDegreesPerPixel = 0.5;

QImage ToQImage(const render::Image& image) {
  const QImage view(image.rgba.data(), image.width, image.height, image.width * 4,
                    QImage::Format_RGBA8888);
  return view.copy();  // owns its pixels once the rendering is gone
}

}  // namespace

ModelPreview::ModelPreview(QWidget* parent) : QWidget(parent) {
  setMinimumSize(32, 32);
}

ModelPreview::~ModelPreview() {
  if (cancel_) *cancel_ = true;
}

void ModelPreview::ShowFile(const QString& path) {
  if (path == file_ && !path.isEmpty()) return;
  file_ = path;
  model_.reset();
  yaw_ = pitch_ = 0;
  Request(false);
}

void ModelPreview::Reload() {
  model_.reset();
  Request(false);
}

void ModelPreview::Request(bool reuse_model) {
  const int generation = ++generation_;
  if (cancel_) *cancel_ = true;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  if (file_.isEmpty()) {
    busy_ = false;
    picture_ = QImage();
    message_.clear();
    update();
    emit Shown();
    return;
  }
  busy_ = true;
  // While the model turns, the last picture stays until the next one is ready.
  if (!reuse_model || !model_) {
    picture_ = QImage();
    message_ = QStringLiteral("Drawing %1 ...").arg(file_);
  }
  update();

  render::RenderOptions options;
  options.yaw = yaw_;
  options.pitch = pitch_;
  options.cancelled = [cancel = cancel_] { return cancel->load(); };
  options.width = std::clamp(width(), 1, render::kMaxImageSide);
  options.height = std::clamp(height(), 1, render::kMaxImageSide);
  const std::filesystem::path path = LocalPath(file_);
  std::shared_ptr<const render::Model> model = reuse_model ? model_ : nullptr;
  // The worker sees only copies, so the pane may go away while it runs.
  auto* watcher = new QFutureWatcher<Result>(this);
  connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher, generation] {
    Finish(generation, watcher->result());
    watcher->deleteLater();
  });
  watcher->setFuture(QtConcurrent::run([path, model, options]() mutable {
    Result result;
    try {
      if (!model) model = std::make_shared<const render::Model>(render::LoadModelFile(path));
      result.model = model;
      result.picture = ToQImage(render::Render(*model, options).image);
    } catch (const render::Cancelled&) {
      // Superseded: nobody looks at this result.
    } catch (const std::bad_alloc&) {
      result.error = QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
      result.error = QString::fromStdString(e.what());
    }
    return result;
  }));
}

void ModelPreview::Finish(int generation, const Result& result) {
  if (generation != generation_) return;  // superseded
  busy_ = false;
  model_ = result.model;
  picture_ = result.picture;
  message_ = result.error.isEmpty()
                 ? QString()
                 : QStringLiteral("%1 cannot be drawn:\n%2").arg(file_, result.error);
  update();
  emit Shown();
}

void ModelPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  if (!picture_.isNull()) {
    painter.drawImage(QPoint((width() - picture_.width()) / 2, (height() - picture_.height()) / 2),
                      picture_);
  } else if (!message_.isEmpty()) {
    painter.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, message_);
  }
}

void ModelPreview::mousePressEvent(QMouseEvent* event) {
  drag_from_ = event->position().toPoint();
}

void ModelPreview::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || !model_) return;
  const QPoint at = event->position().toPoint();
  yaw_ -= (at.x() - drag_from_.x()) * kDegreesPerPixel;
  pitch_ += (at.y() - drag_from_.y()) * kDegreesPerPixel;
  drag_from_ = at;
  Request(true);
}

void ModelPreview::resizeEvent(QResizeEvent*) {
  if (!file_.isEmpty()) Request(model_ != nullptr);
}

}  // namespace durvane::gui
