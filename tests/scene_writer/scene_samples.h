#ifndef QIRN_TESTS_SCENE_SAMPLES_H
#define QIRN_TESTS_SCENE_SAMPLES_H

// Descriptions of sample scenes for the scene tests (see scene_writer.h for the notation).
const char* qeSceneSampleDescription();

#endif
