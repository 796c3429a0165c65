#include "app/gui/model_preview.h"

#include "app/gui/local_path.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>
#include <exception>
#include <new>

#include "core/platform.h"
#include "usecases/model_files.h"

namespace durvane::gui {

// What a worker hands back: the model it read (to turn it without reading it again), and the
// picture with its warnings, or the reason there is none.
struct ModelPreview::Result {
  std::shared_ptr<const render::Model> model;
  QImage picture;
  QStringList warnings;
  QString error;
  bool cancelled = false;  // superseded before it was drawn
};

// The last model read, and of which shown file it is. Used by the pane's one thread only.
struct ModelPreview::LoadedModel {
  int file_epoch = -1;
  std::shared_ptr<const render::Model> model;
};

namespace {

QImage ToQImage(const render::Image& image) {
  const QImage view(image.rgba.data(), image.width, image.height, image.width * 4,
                    QImage::Format_RGBA8888);
  return view.copy();  // owns its pixels once the rendering is gone
}

// The drawing's size for the pane's size in device pixels, reduced for a `draft`.
QSize DrawingSize(const QWidget& pane, bool draft) {
  const double ratio = pane.devicePixelRatioF();
  const auto side = [&](int logical) {
    return window::PreviewView::DrawingSide(static_cast<int>(std::ceil(logical * ratio)), draft);
  };
  return {side(pane.width()), side(pane.height())};
}

}  // namespace

ModelPreview::ModelPreview(QWidget* parent)
    : QWidget(parent),
      loaded_(std::make_shared<LoadedModel>()),
      cancel_(std::make_shared<std::atomic<bool>>(false)) {
  setMinimumSize(32, 32);
  // One drawing at a time; the thread is kept, and with it the drawing memory it has touched.
  pool_.setMaxThreadCount(1);
  pool_.setExpiryTimeout(-1);
}

ModelPreview::~ModelPreview() {
  *cancel_ = true;
  pool_.waitForDone();
}

void ModelPreview::ShowFile(const QString& path) {
  if (path == file_ && !path.isEmpty()) return;
  file_ = path;
  ++file_epoch_;
  model_.reset();
  // Nothing to show: the pane's thread lets the last model go.
  if (path.isEmpty()) pool_.start([loaded = loaded_] { loaded->model.reset(); });
  view_.Reset();
  Request(false, Quality::kFull);
}

void ModelPreview::Reload() {
  ++file_epoch_;
  model_.reset();
  Request(false, Quality::kFull);
}

void ModelPreview::Request(bool reuse_model, Quality quality) {
  const int generation = ++generation_;
  if (quality == Quality::kFull) {
    full_generation_ = generation;
    *cancel_ = true;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
  }
  if (file_.isEmpty()) {
    busy_ = false;
    shown_generation_ = generation;
    picture_ = QImage();
    message_.clear();
    warnings_.clear();
    update();
    emit Shown();
    return;
  }
  if (quality == Quality::kFull) busy_ = true;
  // While the model turns, the last picture stays until the next one is ready.
  if (!reuse_model || !model_) {
    picture_ = QImage();
    warnings_.clear();
    message_ = QStringLiteral("Drawing %1 ...").arg(file_);
  }
  update();

  render::RenderOptions options;
  options.yaw = view_.Yaw();
  options.pitch = view_.Pitch();
  options.zoom = view_.Zoom();
  const std::shared_ptr<std::atomic<bool>> cancel = cancel_;
  options.cancelled = [cancel] { return cancel->load(); };
  const QSize size = DrawingSize(*this, quality == Quality::kDraft);
  options.width = size.width();
  options.height = size.height();
  const double ratio = devicePixelRatioF();
  const std::filesystem::path path = LocalPath(file_);
  std::shared_ptr<const render::Model> model = reuse_model ? model_ : nullptr;
  // The worker sees only copies, so the pane may go away while it runs.
  auto* watcher = new QFutureWatcher<Result>(this);
  connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher, generation, quality] {
    Finish(generation, quality, watcher->result());
    watcher->deleteLater();
  });
  watcher->setFuture(QtConcurrent::run(&pool_, [path, model, options, cancel, ratio, quality,
                                                loaded = loaded_, epoch = file_epoch_]() mutable {
    // Drawing yields to the window's thread and to the threads Qt paints with.
    platform::LowerThreadPriority();
    Result result;
    // A request superseded while it waited for the thread is not begun.
    if (cancel->load()) {
      result.cancelled = true;
      return result;
    }
    try {
      if (!model && loaded->file_epoch == epoch) model = loaded->model;
      if (!model) {
        loaded->model.reset();  // its memory is free for the next one
        model = std::make_shared<const render::Model>(render::LoadModelFile(path));
        loaded->file_epoch = epoch;
        loaded->model = model;
      }
      result.model = model;
      const render::Rendering rendering = render::Render(*model, options);
      result.picture = ToQImage(rendering.image);
      // A reduced picture is stretched over the pane; a full one maps pixel to pixel.
      if (quality == Quality::kFull) result.picture.setDevicePixelRatio(ratio);
      for (const std::string& warning : rendering.warnings) {
        result.warnings.append(QString::fromStdString(warning));
      }
    } catch (const render::Cancelled&) {
      result.cancelled = true;
    } catch (const std::bad_alloc&) {
      result.error = QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
      result.error = QString::fromStdString(e.what());
    }
    return result;
  }));
}

void ModelPreview::Finish(int generation, Quality quality, const Result& result) {
  const bool newest_full = quality == Quality::kFull && generation == full_generation_;
  // A drawing older than the newest full request, or than what is shown, is never shown.
  if (!result.cancelled && generation >= full_generation_ && generation > shown_generation_) {
    shown_generation_ = generation;
    model_ = result.model;
    picture_ = result.picture;
    picture_reduced_ = quality == Quality::kDraft;
    warnings_ = result.warnings;
    message_ = result.error.isEmpty()
                   ? QString()
                   : QStringLiteral("%1 cannot be drawn:\n%2").arg(file_, result.error);
    update();
  }
  if (newest_full) {
    busy_ = false;
    emit Shown();
  }
  // The mouse moved while this was drawn: the next reduced picture follows it.
  if (quality == Quality::kDraft && view_.DraftFinished()) Request(true, Quality::kDraft);
}

void ModelPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  const QRect inside = rect().adjusted(4, 4, -4, -4);
  if (!picture_.isNull()) {
    // A full picture has the pane's device pixels; a reduced one is stretched over the pane.
    const bool reduced = picture_reduced_;
    const QSizeF shown = reduced ? QSizeF(size()) : picture_.deviceIndependentSize();
    const QRectF target(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                        shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, reduced);
    painter.drawImage(target, picture_);
  } else if (!message_.isEmpty()) {
    painter.drawText(inside, Qt::AlignCenter | Qt::TextWordWrap, message_);
  }
  if (!warnings_.isEmpty() && !picture_.isNull()) {
    // Why some polygons are flat, at the foot of the picture.
    std::vector<std::string> lines;
    for (const QString& warning : warnings_) lines.push_back(warning.toStdString());
    const QString text = QString::fromStdString(window::PreviewView::Note(lines));
    const QRect box =
        painter.boundingRect(inside, Qt::AlignBottom | Qt::AlignLeft | Qt::TextWordWrap, text);
    painter.fillRect(box.adjusted(-2, -2, 2, 2), palette().base());
    painter.drawText(box, Qt::AlignBottom | Qt::AlignLeft | Qt::TextWordWrap, text);
  }
}

void ModelPreview::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  view_.Press(at.x(), at.y());
}

void ModelPreview::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || !model_) return;
  const QPoint at = event->position().toPoint();
  // A reduced picture follows the mouse; the next starts once the last is shown.
  if (view_.DragTo(at.x(), at.y())) Request(true, Quality::kDraft);
}

void ModelPreview::mouseReleaseEvent(QMouseEvent*) {
  if (view_.Release()) Request(true, Quality::kFull);
}

void ModelPreview::mouseDoubleClickEvent(QMouseEvent*) {
  view_.Reset();
  if (!file_.isEmpty()) Request(model_ != nullptr, Quality::kFull);
}

void ModelPreview::wheelEvent(QWheelEvent* event) {
  if (!model_ || !view_.Wheel(event->angleDelta().y() / 120.0)) return;
  Request(true, Quality::kFull);
  event->accept();
}

void ModelPreview::resizeEvent(QResizeEvent*) {
  if (!file_.isEmpty()) Request(model_ != nullptr, Quality::kFull);
}

}  // namespace durvane::gui
