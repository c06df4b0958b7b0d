// Keeps the viewer library non-empty until its first widget arrives.
namespace bildoro_viewer_detail {}
