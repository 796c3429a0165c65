// A pane that draws the model of an OPT or PRJ file. Drawing runs on a worker thread; a newer
// request supersedes an older one, whose picture is then never shown. Dragging with the mouse
// turns the model. A file that cannot be drawn shows the reason as text in the pane.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>

#include "render/model.h"
#include "render/renderer.h"

namespace durvane::gui {

class ModelPreview : public QWidget {
  Q_OBJECT

 public:
  explicit ModelPreview(QWidget* parent = nullptr);
  ~ModelPreview() override;

  // Draws the file's model, in the three-quarter view; an empty path clears the pane.
  void ShowFile(const QString& path);
  // Draws the shown file again, reading it anew (after it was written).
  void Reload();

  QString File() const { return file_; }
  // The picture shown; null while there is none.
  QImage Picture() const { return picture_; }
  // The text shown instead of a picture: why the file cannot be drawn, or what is happening.
  QString Message() const { return message_; }
  bool Busy() const { return busy_; }
  double Yaw() const { return yaw_; }
  double Pitch() const { return pitch_; }

 signals:
  // A request finished and its picture or message is now shown.
  void Shown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Result;
  // Starts drawing the shown file at the current angles, with the model read before when
  // there is one.
  void Request(bool reuse_model);
  void Finish(int generation, const Result& result);

  QString file_;
  std::shared_ptr<const render::Model> model_;  // of file_, once read
  double yaw_ = 0;
  double pitch_ = 0;
  QImage picture_;
  QString message_;
  bool busy_ = false;
  int generation_ = 0;  // of the newest request
  // Set to give up the newest request's drawing once a newer one comes.
  std::shared_ptr<std::atomic<bool>> cancel_;
  QPoint drag_from_;
};

}  // namespace durvane::gui
