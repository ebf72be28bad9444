#pragma once
// The scene's per-frame drawing, its animation state and the size handler.

// The eleven animation values, stepped once per drawn frame. Phases are in
// radians, angles in degrees; phases stay within one cycle and spins within
// one turn, so a step keeps its size however long the saver runs.
struct SceneState {
    float modelPhase;
    float skyPhase;
    float modelPitch;
    float modelYaw;
    float modelSpin;
    float starsTiltX;
    float starsTiltY;
    float starsSpin;
    float cloudTiltX;
    float cloudTiltY;
    float cloudSpin;
};
extern SceneState sceneState;

// Advances the animation by one frame.
void StepSceneAnimation();

// Draws one frame into the current context's back buffer, then steps the
// animation. Does not swap buffers.
void DrawSceneFrame();

// Follows a change of the client area: viewport and matrices.
void ResizeScene(int width, int height);
