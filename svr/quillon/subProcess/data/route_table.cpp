#include "subProcess/data/route_table.h"

RouteTable::RouteTable() {
  types.insert("connection", &connection);
  types.insert("debugger", &debugger);
  types.insert("panel", &panel);
  types.insert("protocol", &protocol);
  types.insert("settings", &settings);
  types.insert("calibrate", &calibrate);
  types.insert("project", &project);
  types.insert("interface", &interface);
  types.insert("process", &process);
  types.insert("firmware", &firmware);
  types.insert("properties", &properties);
}

bool RouteTable::add(const QString& type, const QString& method, RouteHandler handler) {
  Methods* m = methods(type);
  if (m == nullptr) return false;
  m->insert(method, handler);
  return true;
}

RouteHandler RouteTable::find(const QString& type, const QString& method) const {
  const Methods* m = methods(type);
  return m != nullptr ? m->value(method, nullptr) : nullptr;
}
