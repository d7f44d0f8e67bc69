#include "settings/settings.h"

#include <algorithm>

#include "settings/counter_range.h"

namespace tt {

TSettings::TSettings(std::filesystem::path file) : ini_(std::move(file)) {
    using namespace keys;
    for (const IntegerKey* k :
         {&IMPULS1, &IMPULS2, &IMPULS3, &MAXIMP_P, &MAXIMP_D, &MAXIMP_M, &OODL, &REP, &PAUSE, &H})
        ini_.Want(k->Section, k->Key);
    for (const BoolKey* k : {&PULPIT, &SHADEDOWN, &POWIADOMIENIA}) ini_.Want(k->Section, k->Key);
    for (const TimeKey* k : {&S1_Start, &S2_Start, &S3_Start}) ini_.Want(k->Section, k->Key);
    for (const PriceKey* k : {&CENA1, &CENA2, &CENA3}) ini_.Want(k->Section, k->Key);
    for (const TextKey* k : {&RULE, &INTERFACES}) ini_.Want(k->Section, k->Key);
}

std::string TSettings::ReadString(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const {
    return ini_.ReadString(section, key, defaultValue);
}

int32_t TSettings::ReadInteger(std::string_view section, std::string_view key,
                               int32_t defaultValue) const {
    int32_t value = 0;
    return TryStrToInt(ini_.ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TSettings::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TSettings::WriteString(std::string_view section, std::string_view key,
                            std::string_view value) {
    ini_.WriteString(section, key, value);
}

void TSettings::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    ini_.WriteString(section, key, IntToStr(value));
}

void TSettings::WriteBool(std::string_view section, std::string_view key, bool value) {
    ini_.WriteString(section, key, value ? "1" : "0");
}

int32_t ClampToCounterRange(int32_t value, int32_t min, int32_t max) {
    return CounterClamp(value, min, max);
}

int32_t ReadClamped(const TSettings& settings, const IntegerKey& key) {
    return ClampToCounterRange(settings.ReadInteger(key.Section, key.Key, key.Default), key.Min,
                               key.Max);
}

bool Read(const TSettings& settings, const BoolKey& key) {
    return settings.ReadBool(key.Section, key.Key, key.Default);
}

std::string Read(const TSettings& settings, const TextKey& key) {
    return settings.ReadString(key.Section, key.Key, key.Default);
}

std::string DefaultText(const TimeKey& key, const FormatSettings& fs) {
    return TimeToStr(EncodeTime(key.Hour, key.Minute, key.Second), fs);
}

std::string DefaultText(const PriceKey& key, const FormatSettings& fs) {
    return FloatToStr(key.Default, fs);
}

void TSettings::NoteMisread(std::string_view section, std::string_view key,
                            std::string_view value) const {
    std::string entry =
        "[" + std::string(section) + "] " + std::string(key) + "=" + std::string(value);
    if (std::find(misread_.begin(), misread_.end(), entry) == misread_.end()) {
        misread_.push_back(std::move(entry));
    }
}

TDateTime Read(const TSettings& settings, const TimeKey& key, const FormatSettings& fs) {
    TDateTime value = EncodeTime(key.Hour, key.Minute, key.Second);
    const std::string text = settings.ReadString(key.Section, key.Key, DefaultText(key, fs));
    if (!TryStrToTime(text, fs, value)) settings.NoteMisread(key.Section, key.Key, text);
    return value;
}

bool IsPulsePrice(long double price) {
    // Written so that NaN fails too.
    return price >= 0 && price <= kMaxPulsePrice;
}

bool TryStrToPrice(std::string_view text, const FormatSettings& fs, long double& out) {
    long double value = 0;
    if (!TryStrToFloat(text, fs, value) || !IsPulsePrice(value)) return false;
    out = value;
    return true;
}

long double Read(const TSettings& settings, const PriceKey& key, const FormatSettings& fs) {
    long double value = key.Default;
    const std::string text = settings.ReadString(key.Section, key.Key, DefaultText(key, fs));
    if (!TryStrToPrice(text, fs, value)) settings.NoteMisread(key.Section, key.Key, text);
    return value;
}

TMeterLimits ReadMeterLimits(const TSettings& settings) {
    TMeterLimits limits;
    limits.MAXIMP_P = ReadClamped(settings, keys::MAXIMP_P);
    limits.MAXIMP_D = ReadClamped(settings, keys::MAXIMP_D);
    limits.MAXIMP_M = ReadClamped(settings, keys::MAXIMP_M);
    limits.OODL = ReadClamped(settings, keys::OODL);
    return limits;
}

}  // namespace tt
