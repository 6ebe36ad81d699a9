// Forward declarations of the global records (model/records.h, model/model_settings.h), for
// headers that take them by reference or pointer only.
#pragma once

class ModelSettings;
class ProgLim;
class ProgDisplay;
class Potentials;
class SystemSettings;
class Array3DSens;
class ModelResolution;
