// The graphic base (see Graphic.h).
#include "Graphic.h"

void RaiseAssignError(const std::string& ASource, const std::string& ATarget) {
  throw EConvertError("Cannot assign a " + ASource + " to a " + ATarget);
}

void TGraphic::Assign(TGraphic& ASource) {
  RaiseAssignError(ASource.ClassName(), ClassName());
}

void TGraphic::AssignTo(TBitmap&) {
  RaiseAssignError(ClassName(), "TBitmap");
}

void TGraphic::Changed() {
  FModified = true;
  // A copy, so that a handler may replace the event while it runs.
  TNotifyEvent handler = OnChange;
  if (handler) handler(*this);
}

void TGraphic::Progress(TProgressStage AStage, int APercentDone, bool ARedrawNow,
                        const std::string& AMessage) {
  TProgressEvent handler = OnProgress;
  if (handler) handler(*this, AStage, APercentDone, ARedrawNow, AMessage);
}
