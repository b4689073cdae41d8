// Skin pipeline figures: parsing a skin of 200 elements, opening the skin archive and
// extracting one entry, and painting a 540 x 355 window scene of nine-grids, fills and
// text. Each is reported per operation.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "support/DrawTestHost.h"
#include "support/SkinTestSupport.h"
#include "support/TempPrefix.h"
#include "ui/framework/DrawEngine.h"
#include "ui/framework/SkinArchive.h"
#include "ui/framework/SkinResources.h"
#include "ui/framework/XmlDocument.h"

using namespace SkinUI;

namespace {

std::wstring SkinOf200Elements() {
  std::wstring text = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"540,355\" caption=\"0,0,0,30\">\n";
  for (int i = 0; i < 4; ++i) text += L"  <Font id=\"" + std::to_wstring(i) + L"\" name=\"宋体\" size=\"12\"/>\n";
  text += L"  <VerticalLayout bkimage=\"file='bk.png' corner='8,8,8,8'\">\n";
  for (int i = 0; i < 194; ++i) {
    text += L"    <Button name=\"btn_" + std::to_wstring(i) +
            L"\" pos=\"10,10,106,42\" normalimage=\"file='btn.png' source='0,0,96,32'\" "
            L"hotimage=\"file='btn.png' source='0,32,96,64'\" text=\"安装 &amp; 启动\" textcolor=\"#FF333333\"/>\n";
  }
  text += L"  </VerticalLayout>\n</Window>\n";
  return text;
}

void BM_ParseSkinOf200Elements(benchmark::State& state) {
  const std::wstring text = SkinOf200Elements();
  CXmlDocument doc;
  for (auto _ : state) {
    bool ok = doc.ParseText(text.c_str());
    benchmark::DoNotOptimize(ok);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["elements"] = doc.ElementCount() - 1;
}
BENCHMARK(BM_ParseSkinOf200Elements);

void BM_OpenArchiveAndExtractEntry(benchmark::State& state) {
  TempPrefix prefix;
  std::map<std::string, std::string> files;
  for (int i = 0; i < 40; ++i) files["images/img" + std::to_string(i) + ".png"] = skintest::SampleBytes(3000, i);
  files["images/btn.png"] = skintest::SampleBytes(12000, 99);
  files["InstallPackages.xml"] = std::string(20000, 'x');
  if (!skintest::MakeArchive(skintest::ZipTool::PythonZipfile, prefix.Host("skin.zip"), files)) {
    state.SkipWithError("python3 zipfile failed");
    return;
  }
  const std::string bytes = ReadHostFile(prefix.Host("skin.zip"));
  std::vector<BYTE> out(12000);
  for (auto _ : state) {
    CSkinArchive* archive = ZipOpenMemory(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    int index = 0;
    DWORD size = 0;
    ZipFindEntry(archive, L"Images\\btn.png", &index, &size);
    benchmark::DoNotOptimize(ZipExtractEntry(archive, index, out.data(), size));
    ZipClose(archive);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenArchiveAndExtractEntry);

void BM_FindEntryInOpenArchive(benchmark::State& state) {
  TempPrefix prefix;
  std::map<std::string, std::string> files;
  for (int i = 0; i < 40; ++i) files["images/img" + std::to_string(i) + ".png"] = "x";
  if (!skintest::MakeArchive(skintest::ZipTool::PythonZipfile, prefix.Host("skin.zip"), files)) {
    state.SkipWithError("python3 zipfile failed");
    return;
  }
  const std::string bytes = ReadHostFile(prefix.Host("skin.zip"));
  CSkinArchive* archive = ZipOpenMemory(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  for (auto _ : state) {
    int index = 0;
    benchmark::DoNotOptimize(ZipFindEntry(archive, L"Images\\IMG39.png", &index, nullptr));
  }
  ZipClose(archive);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindEntryInOpenArchive);

void BM_PaintWindowScene(benchmark::State& state) {
  TempPrefix prefix;
  CSkinResources::Reset();
  CSkinResources::SetResourceFolder(L"C:\\skin");
  std::vector<DWORD> bk(40 * 40, 0xFFF4F6F8), btn(96 * 64, 0xFF2D8CF0), bar(20 * 10, 0xC04CAF50);
  for (int i = 0; i < 40; ++i) bk[i] = bk[i * 40] = 0x80000000;  // a soft border: alpha
  skintest::WritePng(prefix.Host("drive_c/skin/bk.png"), 40, 40, bk);
  skintest::WritePng(prefix.Host("drive_c/skin/btn.png"), 96, 64, btn);
  skintest::WritePng(prefix.Host("drive_c/skin/bar.png"), 20, 10, bar);
  skintest::TestDrawHost host;
  skintest::Canvas canvas(540, 355, 0xFFFFFFFF);
  RECT all = {0, 0, 540, 355};
  RECT links[2];
  std::wstring texts[2];
  for (auto _ : state) {
    CDrawEngine::PaintImageDescription(canvas.dc(), &host, all, all, L"file='bk.png' corner='8,8,8,8'");
    CDrawEngine::FillGradient(canvas.dc(), {0, 0, 540, 30}, 0xFF3A7BD5, 0xFF00D2FF, 16);
    for (int i = 0; i < 3; ++i) {
      RECT item = {40 + i * 160, 280, 136 + i * 160, 312};
      CDrawEngine::PaintImageDescription(canvas.dc(), &host, all, item, L"file='btn.png' source='0,0,96,32'");
      CDrawEngine::PaintPlainText(canvas.dc(), &host, item, L"立即安装", 0xFFFFFFFF, 0,
                                  DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
    CDrawEngine::PaintImageDescription(canvas.dc(), &host, all, {40, 240, 500, 250},
                                       L"file='bar.png' corner='4,0,4,0'");
    CDrawEngine::FillColor(canvas.dc(), {40, 200, 500, 230}, 0x80FFFFFF);
    CDrawEngine::PaintPlainText(canvas.dc(), &host, {10, 5, 300, 25}, L"Kavro 安装程序", 0xFFFFFFFF, 0,
                                DT_SINGLELINE | DT_VCENTER);
    RECT textRect = {40, 60, 500, 190};
    int count = 2;
    CDrawEngine::PaintMarkupText(canvas.dc(), &host, textRect,
                                 L"<b>欢迎</b> 使用安装程序。<n>点击 <a agreement>许可协议</a> 阅读条款，"
                                 L"<c #FFFF6600>下载速度</c> 1.2 MB/s",
                                 0xFF333333, links, texts, count, DT_WORDBREAK);
  }
  state.SetItemsProcessed(state.iterations());
  CSkinResources::Reset();
}
BENCHMARK(BM_PaintWindowScene)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
