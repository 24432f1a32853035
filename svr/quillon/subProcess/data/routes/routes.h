#pragma once

#include "subProcess/data/route_table.h"

// Route families of the HTTP API, one file each; fillRoutes registers them.
void registerExchangeRoutes(RouteTable& table);
void registerMotionRoutes(RouteTable& table);
void registerScriptRoutes(RouteTable& table);
void registerJogRoutes(RouteTable& table);
void registerPanelRoutes(RouteTable& table);
