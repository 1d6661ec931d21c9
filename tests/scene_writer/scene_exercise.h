#ifndef QIRN_TESTS_SCENE_EXERCISE_H
#define QIRN_TESTS_SCENE_EXERCISE_H

#include "scene_access.h"

// Asks every query of every table for every index from -1 to the count and at a few times, including
// a time before the start, one far past the end and NaN (the answers are not checked).
void qeSceneExerciseQueries(SceneHandle* h);

#endif
