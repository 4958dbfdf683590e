// The product's compiled-in tables.
#include "front/config.h"

#include "engine/setup_engine.h"

const char windowClassName[] = "ヴェルモラント　セットアップ";
const char productTitle[] = "ヴェルモラント";
const char makerName[] = "VANTRE";
const char productFolder[] = "VELMORANT";
const char productExe[] = "velmorant.exe";
const char registryKey[] = "SOFTWARE\\VANTRE\\ヴェルモラント";

const char* updateFiles[11] = {
    "zom_2.pac", "tuv_2.pac", "yk_2.pac",  "fob_2.pac", "hep_2.pac", "wix_2.pac",
    "wix_3.pac", "wix_4.pac", "wix_5.pac", "wix_6.pac", nullptr,
};

const char* installFiles[19] = {
    "ExecuteProgram", "zom.pac",    "tuv.pac",        "yk.pac",     "fob.pac",
    "hep.pac",        "wix.pac",    "ogg.dll",        "vorbis.dll", "vorbisfile.dll",
    "readme.txt",     "uninst.exe", "Pzom.pac",       "Qzom.pac",   "Rzom.pac",
    "Szom.pac",       "Setting.exe", "Rzom.zip",      nullptr,
};

const char* volumeLabels[2] = {"VELMORANT", nullptr};

uint32_t requiredMegabytesSetting = 3570;
const uint32_t typeMegabytes[2] = {3570, 3570};
