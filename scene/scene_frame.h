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

// One monitor's part of the window, in window pixels from the window's
// bottom-left corner, as glViewport takes it.
struct SceneView {
    int x;
    int y;
    int width;
    int height;
};

// Draws one frame with the whole scene in each view, each with a perspective
// of its own shape, over one clear of the window; then steps the animation
// once, so that every view shows the same moment. Leaves the last view's
// viewport in force. Does not swap buffers.
void DrawSceneFrameInViews(const SceneView* views, int count);

// Follows a change of the client area: viewport and matrices.
void ResizeScene(int width, int height);
