#pragma once

#include <QHash>
#include <QString>

#include "subProcess/data/http_request.h"

class DataSubProcess;

// A route handler: answers into the request's reply buffer and returns the
// HTTP status to send.
using RouteHandler = int (*)(HttpRequest& request, DataSubProcess* server);

// The two-level route table: type name -> that type's table, method name ->
// handler. The eleven per-type tables exist from the start; later code adds
// routes to them.
struct RouteTable {
  using Methods = QHash<QString, RouteHandler>;

  RouteTable();
  RouteTable(const RouteTable&) = delete;
  RouteTable& operator=(const RouteTable&) = delete;

  // False when the type is unknown.
  bool add(const QString& type, const QString& method, RouteHandler handler);
  Methods* methods(const QString& type) const { return types.value(type, nullptr); }
  RouteHandler find(const QString& type, const QString& method) const;

  QHash<QString, Methods*> types;
  Methods connection;
  Methods debugger;
  Methods panel;
  Methods protocol;
  Methods settings;
  Methods calibrate;
  Methods project;
  Methods interface;
  Methods process;
  Methods firmware;
  Methods properties;
};
