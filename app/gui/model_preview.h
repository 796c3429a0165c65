// A pane that draws the model of an OPT or PRJ file, at the screen's pixel ratio. Drawing runs
// on a thread pool of the pane's own, so that the window's painting never waits behind it; a
// newer request supersedes an older one, whose picture is then never shown. Dragging with the
// mouse turns the model (drawn at a reduced resolution while the mouse moves, in full once it
// is released), the wheel zooms and a double click returns to the first view. A file that
// cannot be drawn shows the reason as text in the pane; the drawing's warnings (a bitmap that
// is missing, whose polygons are drawn flat) are named below the picture.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <memory>

#include "app/window/preview_view.h"
#include "render/model.h"
#include "render/renderer.h"

namespace durvane::gui {

class ModelPreview : public QWidget {
  Q_OBJECT

 public:
  explicit ModelPreview(QWidget* parent = nullptr);
  // Gives up the drawing under way and waits for the pane's thread.
  ~ModelPreview() override;

  // Draws the file's model, in the three-quarter view; an empty path clears the pane.
  void ShowFile(const QString& path);
  // Draws the shown file again, reading it anew (after it was written).
  void Reload();

  QString File() const { return file_; }
  // The picture shown, in device pixels; null while there is none. A picture drawn while
  // dragging has a fraction of the pane's pixels.
  QImage Picture() const { return picture_; }
  // The text shown instead of a picture: why the file cannot be drawn, or what is happening.
  QString Message() const { return message_; }
  // The shown picture's warnings, each naming what it is about.
  QStringList Warnings() const { return warnings_; }
  bool Busy() const { return busy_; }
  double Yaw() const { return view_.Yaw(); }
  double Pitch() const { return view_.Pitch(); }
  double Zoom() const { return view_.Zoom(); }

  // The drawing's size while dragging: the pane's device pixels divided by this on each side.
  static constexpr int kDraftDivisor = window::PreviewView::kDraftDivisor;

 signals:
  // A full picture (not a reduced one drawn while dragging) or a message is now shown.
  void Shown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Result;
  struct LoadedModel;
  enum class Quality { kFull, kDraft };
  // Starts drawing the shown file at the current view, with the model read before when there
  // is one and `reuse_model`.
  void Request(bool reuse_model, Quality quality);
  void Finish(int generation, Quality quality, const Result& result);

  QString file_;
  int file_epoch_ = 0;  // counts the files shown (and reloaded): a model of another is not used
  std::shared_ptr<const render::Model> model_;  // of file_, once read
  // The model the pane's thread read last, so that a request queued while it was read (a
  // resize during a long read) draws it rather than reading the file again.
  std::shared_ptr<LoadedModel> loaded_;
  // The turn and zoom, and the reduced drawings while dragging (one at a time).
  window::PreviewView view_;
  QImage picture_;
  bool picture_reduced_ = false;  // drawn while dragging, at a fraction of the pane's pixels
  QString message_;
  QStringList warnings_;
  bool busy_ = false;
  int generation_ = 0;       // of the newest request
  int full_generation_ = 0;  // of the newest full request: nothing older is shown after it
  int shown_generation_ = 0;
  // Set to give up the newest full request's drawing once a newer one comes.
  std::shared_ptr<std::atomic<bool>> cancel_;
  QThreadPool pool_;
};

}  // namespace durvane::gui
