// What the chart and the frame track do alike to a canvas before drawing.

/**
 * `canvas` sized to `width` by `height` CSS pixels, drawn at the screen's
 * own pixels, and cleared: its context, scaled to CSS pixels.
 */
export function clearedCanvas(canvas, width, height) {
  const ratio = window.devicePixelRatio || 1;
  if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    canvas.style.width = `${width}px`;
    canvas.style.height = `${height}px`;
  }
  const context = canvas.getContext('2d');
  context.setTransform(ratio, 0, 0, ratio, 0, 0);
  context.clearRect(0, 0, width, height);
  return context;
}
