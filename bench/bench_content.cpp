// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding and loading speed of question banks, and the memory they take.
#include "MaximalBank.h"
#include "content/CodirText.h"
#include "content/Cp1251.h"
#include "content/QuestionBank.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace
{

QByteArray maximalPlain()
{
    static const QByteArray plain = MaximalPlainBank();
    return plain;
}

void BM_DecodeText(benchmark::State& state)
{
    const QString text = Cp1251::decode(Bank::ScrambleBank(maximalPlain().left(8 << 20)));
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeText(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size());
}
BENCHMARK(BM_DecodeText)->Unit(benchmark::kMillisecond);

void loadFile(benchmark::State& state, const QByteArray& file)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("questions.qvr");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) state.SkipWithError("cannot write");
        f.write(file);
    }
    for (auto _ : state) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) state.SkipWithError("cannot read");
        Bank::QuestionTable table;
        table.load(Bank::PlainTextFromFile(f.readAll()));
        benchmark::DoNotOptimize(table.count(0));
        state.counters["table_MB"] = double(table.memoryUsage()) / 1e6;
    }
    state.counters["file_MB"] = double(file.size()) / 1e6;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_RSS_MB"] = double(usage.ru_maxrss) / 1e3;
}

void BM_LoadMaximalBank(benchmark::State& state)
{
    loadFile(state, Bank::ScrambleBank(maximalPlain()));
}
BENCHMARK(BM_LoadMaximalBank)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadShippedBank(benchmark::State& state)
{
    QFile f(QStringLiteral(QUORVEL_GAME_DIR "/questions.qvr"));
    if (!f.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no shipped bank");
        return;
    }
    loadFile(state, f.readAll());
}
BENCHMARK(BM_LoadShippedBank)->Unit(benchmark::kMillisecond);

void BM_EmptyBankMemory(benchmark::State& state)
{
    for (auto _ : state) {
        Bank::QuestionTable table;
        table.load(QByteArray());
        state.counters["bytes"] = double(table.memoryUsage());
    }
}
BENCHMARK(BM_EmptyBankMemory);

} // namespace

namespace
{
void BM_PlainTextOfMaximalBank(benchmark::State& state)
{
    const QByteArray file = Bank::ScrambleBank(maximalPlain());
    for (auto _ : state)
        benchmark::DoNotOptimize(Bank::PlainTextFromFile(file).size());
}
BENCHMARK(BM_PlainTextOfMaximalBank)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ParseMaximalBank(benchmark::State& state)
{
    for (auto _ : state) {
        Bank::QuestionTable table;
        table.load(maximalPlain());
        benchmark::DoNotOptimize(table.count(0));
    }
}
BENCHMARK(BM_ParseMaximalBank)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

BENCHMARK_MAIN();
