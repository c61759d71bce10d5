#ifndef STABILITYTEXT_H
#define STABILITYTEXT_H

// What the Stability Analysis window writes: the names of the kinds it
// offers, its axis titles, the table's headers and cells, the CSV export and
// the status line. Pure functions of their arguments (no widgets). Numbers
// are written with '.' whatever the locale: QString::number never uses one.

#include "stability.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstddef>
#include <vector>

namespace StabilityText {

// The kinds the window offers, in the order of its choice box: overlapping
// Allan, modified Allan, time, Hadamard and total deviation, and MTIE.
const QVector<Stability::Kind>& OfferedKinds();

// "Overlapping Allan deviation", ..., "MTIE".
QString KindTitle(Stability::Kind kind);

// The plot's vertical axis: "x (s)" for the kinds measured in seconds (tdev,
// mtie, tie rms), else "σ(τ)"; the horizontal one "τ (s)".
QString ValueAxisTitle(Stability::Kind kind);
QString TauAxisTitle();

// Columns: AF, τ (s), N, noise, min σ, σ, max σ for a deviation (σx, in
// seconds, for tdev); AF, τ (s), N and the value for mtie and tie rms.
QStringList TableHeaders(Stability::Kind kind);
// One row in those columns: bounds and values that are not finite are
// empty; a deviation with three significant digits (1.234e-09).
QStringList TableCells(Stability::Kind kind, const Stability::Row& row);

// The CSV file: one header line, then a line per row, numbers as %.17g
// (exact when read back), a field that is not finite empty. A deviation:
//   af,tau_s,n,noise,edf,oadev_min,oadev,oadev_max
// mtie and tie rms: af,tau_s,n,mtie_s.
QString Csv(Stability::Kind kind, const std::vector<Stability::Row>& rows);

// A length of time rounded to whole units: "8.5 s" (under 10 s a tenth),
// "45 s", "20 min 34 s", "3 h 02 min", "2 d 04 h"; empty when not finite
// or negative.
QString Duration(double dSeconds);

// "1234 points · τ0 1 s · run 20 min 33 s · computed 14:03:12": a run's
// size, interval and length, and when the result shown was computed (left
// out while there is none); "· computing…" added while a computation runs.
QString Status(std::size_t nPoints, double dTau0, const QDateTime& computed, bool bComputing);

// The plot's text while the run is too short to analyse.
QString Collecting(std::size_t nPoints);

} // namespace StabilityText

#endif // STABILITYTEXT_H
