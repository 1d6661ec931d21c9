#ifndef QIRN_API_COLLISION_H
#define QIRN_API_COLLISION_H

// Camera collision against objects: the camera node's meta triangle selector is the collision world.
void qeIrrlichtSetObjectCollisionOn(int id);
void qeIrrlichtObjRemoveCollision(int id);
void qeIrrlichtAutomaticCameraCollisionOn(float radius, float gravity, float offset);
void qeIrrlichtAutomaticCameraCollisionOff();

#endif
