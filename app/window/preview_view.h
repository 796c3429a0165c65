// The preview pane's view of its model, apart from any toolkit: the turn a mouse drag gives it,
// the wheel's zoom, the return to the first view, and the reduced drawings that follow a drag
// (one at a time: a move while one is drawn asks for the next once it is done, at the view the
// mouse has reached by then). Also the note naming what the picture lacks.
#pragma once

#include <string>
#include <vector>

namespace durvane::window {

class PreviewView {
 public:
  // The drawing's size while dragging: the pane's pixels divided by this on each side.
  static constexpr int kDraftDivisor = 3;

  double Yaw() const { return yaw_; }
  double Pitch() const { return pitch_; }
  double Zoom() const { return zoom_; }

  // The first view: no turn, no zoom. A drag under way goes on from there.
  void Reset();

  // The left button went down at (x, y), in the pane's pixels.
  void Press(int x, int y);
  // The mouse moved to (x, y) with the left button down: the view turns by the move. True when
  // a reduced drawing is to be asked now, false when one is being drawn (the next is asked by
  // DraftFinished).
  bool DragTo(int x, int y);
  // A reduced drawing asked for by DragTo or DraftFinished ended, drawn or given up. True when
  // the mouse has moved meanwhile and still drags: the next is to be asked now.
  bool DraftFinished();
  // The left button went up. True when the view was dragged and is to be drawn in full.
  bool Release();

  // The wheel turned by `notches` (positive away from the user): the zoom grows by a quarter
  // per notch, within the renderer's range. False, changing nothing, for no turn.
  bool Wheel(double notches);

  // The note below the picture: the drawing's warnings (a bitmap missing or unusable, polygons
  // left out), one a line; empty when there are none.
  static std::string Note(const std::vector<std::string>& warnings);

  // A side of the drawing for a pane side of `pixels`: a third of it for a reduced one (`draft`),
  // within the renderer's limits.
  static int DrawingSide(int pixels, bool draft);

 private:
  double yaw_ = 0;
  double pitch_ = 0;
  double zoom_ = 1;
  int from_x_ = 0;
  int from_y_ = 0;
  bool dragging_ = false;
  bool draft_running_ = false;
  bool draft_wanted_ = false;
};

}  // namespace durvane::window
