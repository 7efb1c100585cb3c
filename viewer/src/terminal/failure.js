// Why vimbrel-capture stops short, with its exit status: thrown where it is
// found, said once, by the bin, after the browser is closed.

export class Failure extends Error {
  constructor(message, status) {
    super(message);
    this.status = status;
  }
}

export function fail(message, status = 1) {
  throw new Failure(message, status);
}
