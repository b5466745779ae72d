#pragma once
// The toolkit's side of making grids readable by screen readers: the grid's
// widget answers as a table whose cells the grid's reader hooks describe.

class QObject;

namespace toolkit {

class TCustomGrid;

// Registers the accessibility factory for grid widgets (once).
void InstallGridAccessibility();
// The grid behind a grid widget; nullptr for other objects and once the grid
// is being destroyed.
TCustomGrid* ReadableGridOf(const QObject* Object);
// Events for assistive technology, sent through Announce (controls.h): the
// current cell moved or its content changed; the table's rows or columns
// changed.
void AnnounceGridCurrentCell(TCustomGrid& Grid);
void AnnounceGridReset(TCustomGrid& Grid);

}  // namespace toolkit
