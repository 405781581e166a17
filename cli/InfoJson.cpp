// The object `tremolux-cli info --json` prints: what Load read, as JSON.
#include "cli/InfoJson.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "cli/JsonWriter.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/c3d/TrialEvents.h"

namespace {

// Up to `count` raw values of a block of int16 (width 2) or float (width 4) values.
void WriteSampleValues(CJsonWriter& json, const CSampleBlock& block, std::size_t width,
                       std::size_t count) {
  json.BeginArray();
  const std::size_t n = std::min(count, block.size() / width);
  for (std::size_t i = 0; i < n; ++i) {
    if (width == 2) {
      std::int16_t v;
      std::memcpy(&v, block.data() + 2 * i, sizeof v);
      json.Int(v);
    } else {
      float v;
      std::memcpy(&v, block.data() + 4 * i, sizeof v);
      json.Float(v);
    }
  }
  json.EndArray();
}

void WriteHeaderJson(CJsonWriter& json, const CC3d& c3d) {
  json.Key("header");
  json.BeginObject();
  json.Key("param_block");
  json.Int(c3d.m_nParamBlock);
  json.Key("points");
  json.Int(c3d.m_nPoints);
  json.Key("analog_per_frame");
  json.Int(c3d.m_nAnalogPerFrame);
  json.Key("first_frame");
  json.Int(c3d.m_nFirstFrame);
  json.Key("last_frame");
  json.Int(c3d.m_nLastFrame);
  json.Key("analog_samples_per_frame");
  json.Int(c3d.m_nAnalogSamplesPerFrame);
  json.Key("data_block");
  json.Int(c3d.m_nDataBlock);
  json.Key("analog_channels");
  json.Int(c3d.m_nAnalogChannels);
  json.Key("scale_factor");
  json.Float(c3d.m_fScaleFactor);
  json.Key("frame_rate");
  json.Float(c3d.m_fFrameRate);
  json.EndObject();
}

void WriteParameterJson(CJsonWriter& json, const CParam& p) {
  json.BeginObject();
  json.Key("group_id");
  json.Int(p.m_nGroupId);
  json.Key("name");
  json.Latin1(p.m_strName);
  json.Key("locked");
  json.Bool(p.m_bLocked != 0);
  json.Key("type");
  json.Int(p.m_nType);
  json.Key("dimensions");
  json.BeginArray();
  for (const auto d : p.m_pDimensions) json.Int(d);
  json.EndArray();
  json.Key("count");
  json.Int(p.m_nCount);
  json.Key("description");
  json.Latin1(p.m_strDescription);
  if (p.m_nType == -1) {
    json.Key("strings");
    json.BeginArray();
    for (const auto& s : p.m_strings) json.Latin1(s);
    json.EndArray();
  } else if (p.m_nType == 1 || p.m_nType == 2 || p.m_nType == 4) {
    json.Key("values");
    json.BeginArray();
    for (const auto& cell : p.m_pValues) {
      if (p.m_nType == 1) json.Int(cell.AsByte());
      if (p.m_nType == 2) json.Int(cell.AsInt16());
      if (p.m_nType == 4) json.Float(cell.AsFloat());
    }
    json.EndArray();
  }
  json.EndObject();
}

}  // namespace

void WriteInfoJson(std::FILE* out, const CC3d& c3d, const InfoJsonParts& o) {
  CJsonWriter json(out);
  json.BeginObject();
  json.Key("path");
  json.Latin1(o.path);
  json.Key("loaded");
  json.Bool(true);
  json.Key("processor_type");
  json.Int(static_cast<int>(c3d.m_nProcessorType));
  json.Key("integer_data");
  json.Bool(c3d.m_bIntegerData);
  WriteHeaderJson(json, c3d);

  json.Key("events");
  json.BeginArray();
  for (const auto& e : c3d.m_events) {
    json.BeginObject();
    json.Key("label");
    json.Latin1(e->m_strLabel);
    json.Key("time");
    json.Float(e->m_fTime);
    json.Key("frame");
    json.Int(e->m_nFrame);
    json.Key("analog_sample");
    json.Int(e->m_nAnalogSample);
    json.Key("display");
    json.Int(e->m_nDisplay);
    json.EndObject();
  }
  json.EndArray();

  // The EVENT group's events, by time; sample null outside the recording.
  const c3d::TrialEvents trial = c3d::ReadTrialEvents(c3d);
  json.Key("trial_events");
  json.BeginArray();
  for (const auto& e : trial.events) {
    json.BeginObject();
    json.Key("context");
    json.Latin1(e.context);
    json.Key("label");
    json.Latin1(e.label);
    json.Key("description");
    json.Latin1(e.description);
    json.Key("time");
    json.Float(static_cast<float>(e.time));
    json.Key("sample");
    if (e.sample)
      json.Int(*e.sample);
    else
      json.Null();
    json.EndObject();
  }
  json.EndArray();
  if (!trial.note.empty()) {
    json.Key("trial_events_note");
    json.Latin1(trial.note);
  }

  json.Key("groups");
  json.BeginArray();
  for (const auto& g : c3d.m_groups) {
    json.BeginObject();
    json.Key("id");
    json.Int(g->m_nId);
    json.Key("name");
    json.Latin1(g->m_strName);
    json.Key("locked");
    json.Bool(g->m_bLocked != 0);
    json.Key("description");
    json.Latin1(g->m_strDescription);
    json.EndObject();
  }
  json.EndArray();

  json.Key("parameters");
  json.BeginArray();
  for (const auto& p : c3d.m_params) WriteParameterJson(json, *p);
  json.EndArray();

  const std::int64_t sampleCount = c3d.SamplesPerChannel();
  json.Key("analogs");
  json.BeginArray();
  const std::vector<std::string> names = AnalogChannelNames(c3d);
  const std::vector<std::string> units = AnalogChannelUnits(c3d);
  for (std::size_t i = 0; i < c3d.m_analogs.size(); ++i) {
    const CAnalog& a = *c3d.m_analogs[i];
    json.BeginObject();
    json.Key("index");
    json.Int(static_cast<std::int64_t>(i));
    json.Key("label");
    json.Latin1(names[i]);
    json.Key("units");
    json.Latin1(units[i]);
    json.Key("min");
    json.Float(a.m_fMin);
    json.Key("max");
    json.Float(a.m_fMax);
    json.Key("offset");
    json.Float(a.m_fOffset);
    json.Key("scale");
    json.Float(a.m_fScale);
    json.Key("sample_count");
    json.Int(sampleCount);
    if (o.samples) {
      json.Key("samples");
      WriteSampleValues(json, a.m_pSamples, c3d.SampleWidth(),
                        static_cast<std::size_t>(std::max<std::int64_t>(sampleCount, 0)));
    }
    json.EndObject();
  }
  json.EndArray();

  if (o.points) {
    json.Key("points");
    json.BeginArray();
    for (std::size_t p = 0; p < c3d.m_videos.size(); ++p) {
      json.BeginObject();
      json.Key("index");
      json.Int(static_cast<std::int64_t>(p));
      json.Key("data");
      const CSampleBlock& data = c3d.m_videos[p]->m_pData;
      WriteSampleValues(json, data, c3d.SampleWidth(), data.size());
      json.EndObject();
    }
    json.EndArray();
  }
  json.EndObject();
  json.Finish();
}

void WriteLoadFailureJson(std::FILE* out, const std::string& path, const char* reason) {
  CJsonWriter json(out);
  json.BeginObject();
  json.Key("path");
  json.Latin1(path);
  json.Key("loaded");
  json.Bool(false);
  json.Key("reason");
  json.Latin1(reason);
  json.EndObject();
  json.Finish();
}
