// tremolux-cli info and param: what Load read from a C3D file.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/InfoJson.h"
#include "cli/JsonWriter.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/c3d/FileSummary.h"
#include "core/c3d/TrialEvents.h"

bool LoadOrSay(CC3d& c3d, const std::string& path) {
  c3d.m_strPathName = path;
  if (c3d.Load()) return true;
  std::fprintf(stderr, CliMessages::kFileSays, path.c_str(), LoadErrorText(c3d.m_loadError));
  return false;
}

namespace {

struct InfoOptions {
  std::string path;
  bool json = false;
  bool samples = false;
  bool points = false;
};

struct ParamOptions {
  std::string path;
  std::string group;
  std::string name;
  int index = 0;
  int precision = 0;
};

// Prints raw values of one block on one line, after `prefix`.
void PrintSampleValues(const char* prefix, const CSampleBlock& block, std::size_t width,
                       std::size_t count) {
  std::fputs(prefix, stdout);
  const std::size_t n = std::min(count, block.size() / width);
  for (std::size_t i = 0; i < n; ++i) {
    if (width == 2) {
      std::int16_t v;
      std::memcpy(&v, block.data() + 2 * i, sizeof v);
      std::printf(" %d", v);
    } else {
      float v;
      std::memcpy(&v, block.data() + 4 * i, sizeof v);
      std::printf(" %s", ShortestFloatText(v).c_str());
    }
  }
  std::fputc('\n', stdout);
}

// The readable summary (the document window's text), then what the file
// stores: scale factor, blocks, event frames, groups and parameters, each
// channel's raw values. Text fields are printed as their stored bytes.
void WriteInfoText(const CC3d& c3d, const InfoOptions& o) {
  const std::int64_t samples = c3d.SamplesPerChannel();
  std::printf("File: %s\n", o.path.c_str());
  const std::string summary = DescribeFile(c3d);
  std::fwrite(summary.data(), 1, summary.size(), stdout);
  std::printf(
      "Storage: %u analog values per frame (%u samples per frame), scale factor %s; "
      "parameter block %u, data block %u\n",
      c3d.m_nAnalogPerFrame, c3d.m_nAnalogSamplesPerFrame,
      ShortestFloatText(c3d.m_fScaleFactor).c_str(), c3d.m_nParamBlock, c3d.m_nDataBlock);
  for (const auto& e : c3d.m_events) {
    std::printf("  event %-4s frame %d sample %d display %d\n", e->m_strLabel.c_str(), e->m_nFrame,
                e->m_nAnalogSample, e->m_nDisplay);
  }
  std::printf("Groups: %d, parameters: %d\n", c3d.m_nGroups, c3d.m_nParams);
  // Each group's parameters in file order, found through an index by group
  // number: a file may hold hundreds of thousands of records of each kind.
  std::vector<bool> listed(c3d.m_params.size(), false);
  std::unordered_map<std::int32_t, std::vector<std::size_t>> byGroup;
  for (std::size_t i = 0; i < c3d.m_params.size(); ++i)
    byGroup[c3d.m_params[i]->m_nGroupId].push_back(i);
  auto listParameter = [&](std::size_t i) {
    if (listed[i]) return;
    listed[i] = true;
    const CParam& p = *c3d.m_params[i];
    std::printf("    %s (group %d, type %d, %d element%s)%s: %s\n", p.m_strName.c_str(),
                p.m_nGroupId, p.m_nType, p.m_nCount, p.m_nCount == 1 ? "" : "s",
                p.m_bLocked ? " locked" : "", p.m_strDescription.c_str());
  };
  for (const auto& g : c3d.m_groups) {
    std::printf("  %s (id %d)%s: %s\n", g->m_strName.c_str(), g->m_nId,
                g->m_bLocked ? " locked" : "", g->m_strDescription.c_str());
    const auto members = byGroup.find(-g->m_nId);
    if (members == byGroup.end()) continue;
    for (const std::size_t i : members->second) listParameter(i);
    byGroup.erase(members);  // a later group of the same number lists nothing more
  }
  if (std::find(listed.begin(), listed.end(), false) != listed.end()) {
    std::printf("  (parameters of groups without a group record)\n");
    for (std::size_t i = 0; i < c3d.m_params.size(); ++i) listParameter(i);
  }
  std::printf("Analog channels as stored:\n");
  const std::vector<std::string> names = AnalogChannelNames(c3d);
  for (std::size_t i = 0; i < c3d.m_analogs.size(); ++i) {
    const CAnalog& a = *c3d.m_analogs[i];
    std::printf("  %zu %s: raw %s to %s, offset %s, scale %s\n", i, names[i].c_str(),
                ShortestFloatText(a.m_fMin).c_str(), ShortestFloatText(a.m_fMax).c_str(),
                ShortestFloatText(a.m_fOffset).c_str(), ShortestFloatText(a.m_fScale).c_str());
    if (o.samples) {
      PrintSampleValues("    samples:", a.m_pSamples, c3d.SampleWidth(),
                        static_cast<std::size_t>(std::max<std::int64_t>(samples, 0)));
    }
  }
  if (o.points) {
    for (std::size_t p = 0; p < c3d.m_videos.size(); ++p) {
      std::printf("Point %zu:", p);
      PrintSampleValues("", c3d.m_videos[p]->m_pData, c3d.SampleWidth(), SIZE_MAX);
    }
  }
}

int RunInfo(const InfoOptions& o) {
  CC3d c3d;
  if (!LoadOrSay(c3d, o.path)) {
    const char* reason = LoadErrorText(c3d.m_loadError);
    if (o.json) WriteLoadFailureJson(stdout, o.path, reason);
    return 1;
  }
  if (o.json) {
    WriteInfoJson(stdout, c3d, InfoJsonParts{o.path, o.samples, o.points});
  } else {
    WriteInfoText(c3d, o);
  }
  return 0;
}

int RunParam(const ParamOptions& o) {
  CC3d c3d;
  if (!LoadOrSay(c3d, o.path)) return 1;
  const std::string text = c3d.GetParameterString(o.group, o.name, o.index, o.precision);
  std::fwrite(text.data(), 1, text.size(), stdout);  // the stored bytes, unconverted
  std::fputc('\n', stdout);
  return 0;
}

}  // namespace

void AddInfoCommands(CLI::App& app) {
  auto info = std::make_shared<InfoOptions>();
  CLI::App* cmd = app.add_subcommand(
      "info",
      "Shows what a C3D file holds: header, events, parameter groups, parameters, analog channels");
  cmd->add_option("FILE", info->path, "C3D file")->required();
  cmd->add_flag("--json", info->json, "one JSON object instead of the readable summary");
  cmd->add_flag("--samples", info->samples, "add each channel's raw samples");
  cmd->add_flag("--points", info->points,
                "add each point's raw data (X, Y, Z, residual and camera word per frame, "
                "flattened)");
  cmd->callback([info] { g_exitCode = RunInfo(*info); });

  auto param = std::make_shared<ParamOptions>();
  CLI::App* pcmd = app.add_subcommand(
      "param",
      "Prints one element of a parameter as text (empty when the file has no such parameter)");
  pcmd->add_option("FILE", param->path, "C3D file")->required();
  pcmd->add_option("GROUP", param->group, "group name (case ignored)")->required();
  pcmd->add_option("NAME", param->name, "parameter name (case ignored)")->required();
  pcmd->add_option("INDEX", param->index, "element index (default 0)");
  pcmd->add_option("PRECISION", param->precision,
                   "digits after the point for float parameters (default 0)");
  pcmd->callback([param] { g_exitCode = RunParam(*param); });
}
