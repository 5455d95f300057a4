#include "app/camera.h"

Matrix4 StartCamera() {
    Matrix4 camera;
    Matrix4Identity(camera);
    Matrix4RotateZ(camera, CameraStartTurn);
    Matrix4Translate(camera, 0.0f, -40.0f, -40.0f);
    return camera;
}
