// A libmodbus master reading input registers 999-1719 (the validity flag and
// the real-time record) from the data server's slave in six requests on
// loopback; target below 5 ms. Binds port 502: run in its own network and IPC
// namespace (scripts/bench.sh).
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <chrono>
#include <thread>

#include "modbus/modbus_srv.h"

namespace {

modbus_t* connectMaster() {
  for (int i = 0; i < 150; ++i) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", ModbusSrv::kTcpPort);
    if (modbus_connect(ctx) == 0) return ctx;
    modbus_free(ctx);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

void BM_ReadRecordOverModbus(benchmark::State& state) {
  static ModbusSrv* slave = [] {
    auto* s = new ModbusSrv(stModbusConf{1, "tcp"});
    s->init();
    return s;
  }();
  (void)slave;
  modbus_t* ctx = connectMaster();
  if (ctx == nullptr) {
    state.SkipWithError("no slave on port 502");
    return;
  }
  std::uint16_t regs[721];
  for (auto _ : state) {
    int first = 999;
    int left = 721;
    while (left > 0) {
      const int n = left > 125 ? 125 : left;
      if (modbus_read_input_registers(ctx, first, n, regs + (first - 999)) != n) {
        state.SkipWithError("read failed");
        break;
      }
      first += n;
      left -= n;
    }
    benchmark::DoNotOptimize(regs);
  }
  modbus_close(ctx);
  modbus_free(ctx);
}
BENCHMARK(BM_ReadRecordOverModbus)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
