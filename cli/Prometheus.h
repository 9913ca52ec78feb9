#pragma once
// The Prometheus text exposition of a period's reads: one gauge per measurement, named after its
// record field with its unit spelt out (os1_min_v: tarvenik_os1_min_volts), HELP and TYPE once
// each, one sample per unit labelled with its serial and location, and tarvenik_up: 1 for a unit
// that answered, 0 for one whose read failed or that went away (it then has no other sample).

#include "cli/Sinks.h"

#include <QString>

#include <vector>

namespace cli {

QString PrometheusText(const std::vector<TRecordRow>& period);

// The metric name of a record field.
QString MetricName(const QString& field);

} // namespace cli
